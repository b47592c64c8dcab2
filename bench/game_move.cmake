# The ball's move tested along its way: a screen-wide diagonal.
talvo_bench(game_move
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/game_move.cpp
  DEPS game)
add_dependencies(bench_game_move game_data)
target_compile_definitions(bench_game_move PRIVATE GAME_DIR="${TALVO_GAME_DIR}")
