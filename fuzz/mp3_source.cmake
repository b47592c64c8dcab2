# The MP3 source's frame walk, carry-over and fills over any file, with the
# MPEG audio decoder's reductions and conversions.
talvo_fuzz_target(mp3_source
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mp3_source.cpp
  DEPS sound)
