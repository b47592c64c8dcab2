# A sprite scene redrawn by its dirty grid beside a full redraw with SDL2.
find_package(SDL2 REQUIRED)
talvo_bench(scene
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scene.cpp
  DEPS engine engine_draw talvo_img SDL2::SDL2)
