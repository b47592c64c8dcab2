# The alpha image's draw of whole 800x600 pictures beside pixman's and SDL2's
# blits of the same pictures.
find_package(SDL2 REQUIRED)
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::PIXMAN)
  pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
endif()
talvo_bench(alpha_draw
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/alpha_draw.cpp
  DEPS engine_alpha SDL2::SDL2 PkgConfig::PIXMAN)
