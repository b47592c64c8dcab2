# Decoding MPEG audio from memory with our decoder beside libmpg123 (its own
# pick of decoder on this CPU, and each other decoder it lists). The streams
# are made by sox, twolame and lame when the program starts.
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_MPG123 REQUIRED IMPORTED_TARGET libmpg123)
talvo_bench(mpeg
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mpeg.cpp
  DEPS sound PkgConfig::BENCH_MPG123)
