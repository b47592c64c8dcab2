# The sound API over the channel layer: on the manual audio clock with the
# passes run by the tests, and with the streaming thread on the dummy
# device; WAV files and stand-in MP3 files made in temporary directories.
talvo_test(test_sound_api LABEL sound-api
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/snd_api_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/snd_api_thread_test.cpp
  DEPS sound
  TSAN)
