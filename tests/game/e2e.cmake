# The whole game, one test per process, each in a fresh copy of the game
# directory that game_data writes (tests/game/game_run.h): its rules with
# scripted input (game-rules), whole games with SDL's disk audio driver
# (game-e2e), and the maze executable under a real X server, driven by
# xdotool (game-xvfb).
function(game_run_test target label source)
  talvo_test(${target} LABEL ${label} ONE_PER_PROCESS TIMEOUT 120
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${source}
    DEPS game)
  target_compile_definitions(${target} PRIVATE
    GAME_DIR="${TALVO_GAME_DIR}"
    QUILLFRAME_STUB="$<TARGET_FILE:quillframe_stub>"
    CHECK_SCENE="${CMAKE_CURRENT_LIST_DIR}/check_scene.py")
  add_dependencies(${target} game_data quillframe_stub)
endfunction()
game_run_test(test_game_rules game-rules rules_test.cpp)
game_run_test(test_game_e2e game-e2e e2e_test.cpp)

# The maze executable copied into a temporary game directory, on a private
# Xvfb display, with the real mouse and keyboard of xdotool. Skipped (77)
# only when Xvfb cannot start.
add_test(NAME game_xvfb.play
  COMMAND ${TALVO_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/xvfb_play.py $<TARGET_FILE:maze> ${TALVO_GAME_DIR}
    ${CMAKE_CURRENT_LIST_DIR}/check_scene.py)
set_tests_properties(game_xvfb.play PROPERTIES LABELS game-xvfb TIMEOUT 180 SKIP_RETURN_CODE 77
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/xvfb_lsan.supp")

# The maze started again and again under Xvfb (once on a display that comes
# up after the game): its window shows the scene soon after each start-up.
add_test(NAME game_xvfb.starts
  COMMAND ${TALVO_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/xvfb_starts.py $<TARGET_FILE:maze> ${TALVO_GAME_DIR})
set_tests_properties(game_xvfb.starts PROPERTIES LABELS game-xvfb TIMEOUT 180 SKIP_RETURN_CODE 77
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/xvfb_lsan.supp")

# The maze under Xvfb with another client's window in front: its window shows
# its last picture again when uncovered and when mapped again.
add_test(NAME game_xvfb.picture
  COMMAND ${TALVO_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/xvfb_picture.py $<TARGET_FILE:maze> ${TALVO_GAME_DIR})
set_tests_properties(game_xvfb.picture PROPERTIES LABELS game-xvfb TIMEOUT 180 SKIP_RETURN_CODE 77
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/xvfb_lsan.supp")

# The maze asked to end under Xvfb: by the window's close and the termination,
# interrupt and hang-up signals with a frame-time limit of 100 s, and by a
# termination signal at the box of a start it refuses.
add_test(NAME game_xvfb.quit
  COMMAND ${TALVO_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/xvfb_quit.py $<TARGET_FILE:maze> ${TALVO_GAME_DIR})
set_tests_properties(game_xvfb.quit PROPERTIES LABELS game-xvfb TIMEOUT 180 SKIP_RETURN_CODE 77
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/xvfb_lsan.supp")
