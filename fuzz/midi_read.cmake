# The MIDI file reader over its files, plain and in RIFF "RMID" files.
talvo_fuzz_target(midi_read
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/midi_read.cpp
  DEPS sound)
