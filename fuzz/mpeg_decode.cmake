# The MPEG audio decoder walked over any file image as the MP3 source walks it.
talvo_fuzz_target(mpeg_decode
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mpeg_decode.cpp
  DEPS sound)
