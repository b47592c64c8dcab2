# winmm over the platform: mmio reading, local and global memory, and the MIDI
# stream interface with its synthesizer.
talvo_test(test_platform_midi LABEL platform-midi
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/midi_stream_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/winmm_io_test.cpp
  DEPS platform
  TSAN)
