# The LZ packer and unpacker beside zlib's one-call compress2/uncompress at
# levels 1, 6 and 9 and LZ4 on the same inputs.
find_package(ZLIB REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(LZ4 REQUIRED IMPORTED_TARGET liblz4)
talvo_bench(lz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/lz.cpp
  DEPS base ZLIB::ZLIB PkgConfig::LZ4)
