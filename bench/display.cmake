# The emulated display's blits and presents beside SDL2 and pixman.
find_package(SDL2 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
talvo_bench(display
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/display.cpp
  DEPS platform SDL2::SDL2 PkgConfig::PIXMAN)
