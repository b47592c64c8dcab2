# Image::assign and Image::fill on 800x600 pictures beside SDL2's and
# pixman's conversions, blits and fills on the same buffers.
find_package(SDL2 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
talvo_bench(image_ops
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/image_ops.cpp
  DEPS image_ops SDL2::SDL2 PkgConfig::PIXMAN)
