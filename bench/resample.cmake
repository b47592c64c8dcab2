# ImageRow resampling of an 800x600 picture to 1024x768 and 400x300 beside
# pixman's and SDL2's nearest and bilinear scaling on the same buffers.
find_package(SDL2 REQUIRED)
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::PIXMAN)
  pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
endif()
talvo_bench(resample
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/resample.cpp
  DEPS talvo_img SDL2::SDL2 PkgConfig::PIXMAN)
