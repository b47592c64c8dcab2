# The MIDI file reader and stream-event converter, the stream module and the
# music player; the oracle is mido (python3-mido).
talvo_test(test_sound_midi LABEL midi
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mstr_file_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/midi_player_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/midi_oracle_test.cpp
  DEPS sound
  TSAN)
target_compile_definitions(test_sound_midi PRIVATE
  MAKE_MIDI_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/make_midi.py")
