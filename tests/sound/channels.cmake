# The DirectSound channels and their streaming thread: passes run by the
# tests on the manual audio clock, and the real thread on the dummy device.
talvo_test(test_sound_channels LABEL sound-channels
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/channels_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channels_thread_test.cpp
  DEPS sound
  TSAN)
