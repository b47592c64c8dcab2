talvo_fuzz_target(stream_header
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stream_header.cpp
  DEPS talvo)
