# Reading a picture-sized file and zip member through IArcStream beside the
# standard file stream, stdio and minizip read directly.
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_MINIZIP REQUIRED IMPORTED_TARGET minizip zlib)
talvo_bench(streams
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/streams.cpp
  DEPS talvo PkgConfig::BENCH_MINIZIP)
