# The MIDI file parser on any bytes, and a whole conversion of what parses.
# Seeds: the files of tests/sound/make_midi.py.
talvo_fuzz_target(midi_file
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/midi_file.cpp
  DEPS sound)
