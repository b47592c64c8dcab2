# The real game's passes, headless, presenting what they drew beside
# presenting the whole scene.
talvo_bench(game_pass
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/game_pass.cpp
  DEPS game)
add_dependencies(bench_game_pass game_data)
target_compile_definitions(bench_game_pass PRIVATE GAME_DIR="${TALVO_GAME_DIR}")
