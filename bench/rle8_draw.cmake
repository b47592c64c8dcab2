# RLE8 images drawn whole beside SDL2's RLE colour-key and alpha-mod blits of
# the same sprite in the destination's format.
find_package(SDL2 REQUIRED)
talvo_bench(rle8_draw
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/rle8_draw.cpp
  DEPS engine_rle8 talvo_img SDL2::SDL2)
