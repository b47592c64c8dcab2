# The draw with source alpha and the constant-weight blend on 800x600
# pictures beside pixman's OVER and SDL2's alpha blits on the same buffers.
find_package(SDL2 REQUIRED)
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::PIXMAN)
  pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
endif()
talvo_bench(draw_ops
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/draw_ops.cpp
  DEPS image_ops SDL2::SDL2 PkgConfig::PIXMAN)
