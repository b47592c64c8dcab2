# The sound API over the channel layer on the manual audio clock, with WAV
# files and stand-in MP3 files made in temporary directories.
talvo_test(test_sound_api LABEL sound-api
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/snd_api_test.cpp
  DEPS sound)
