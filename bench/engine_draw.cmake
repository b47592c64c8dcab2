# The engine's software draw beside SDL2's blits, pixman's composites and
# memcpy on the same 800x600 pels.
find_package(SDL2 REQUIRED)
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::PIXMAN)
  pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
endif()
talvo_bench(engine_draw
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine_draw.cpp
  DEPS engine_draw talvo_img SDL2::SDL2 PkgConfig::PIXMAN)
