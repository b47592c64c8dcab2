# The LZ unpacker on any bytes, and the packer's round trip.
talvo_fuzz_target(lz_unpack
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/lz_unpack.cpp
  DEPS base)
