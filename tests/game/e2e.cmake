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
# Xvfb display, with the real mouse and keyboard of xdotool: one script each,
# given the executable, the game directory and the rest of the arguments.
# Skipped (77) only when Xvfb cannot start.
function(game_xvfb_test name script)
  add_test(NAME game_xvfb.${name}
    COMMAND ${TALVO_PYTHON} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${script} $<TARGET_FILE:maze> ${TALVO_GAME_DIR} ${ARGN})
  set_tests_properties(game_xvfb.${name} PROPERTIES LABELS game-xvfb TIMEOUT 180 SKIP_RETURN_CODE 77
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_FUNCTION_LIST_DIR}/xvfb_lsan.supp")
endfunction()

# A whole game won along the maze's solution.
game_xvfb_test(play xvfb_play.py ${CMAKE_CURRENT_LIST_DIR}/check_scene.py)
# The maze started again and again (once on a display that comes up after the
# game): its window shows the scene soon after each start-up.
game_xvfb_test(starts xvfb_starts.py)
# Another client's window in front: the game's window shows its last picture
# again when uncovered and when mapped again.
game_xvfb_test(picture xvfb_picture.py)
# The maze asked to end: by the window's close and the termination, interrupt
# and hang-up signals with a frame-time limit of 100 s, and by a termination
# signal at the box of a start it refuses.
game_xvfb_test(quit xvfb_quit.py)
