# The Ogg Vorbis source: open, fills in sequence and fills that seek.
talvo_fuzz_target(ogg_source
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ogg_source.cpp
  DEPS sound)
