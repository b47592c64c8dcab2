# The sound API over the channel layer: on the manual audio clock with the
# passes run by the tests, and with the streaming thread on the dummy
# device; WAV files, Ogg files made by oggenc and stand-in MP3 files in
# temporary directories.
find_program(OGGENC oggenc REQUIRED)
find_program(OGGDEC oggdec REQUIRED)
talvo_test(test_sound_api LABEL sound-api
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/snd_api_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/snd_api_thread_test.cpp
  DEPS sound
  TSAN)
target_compile_definitions(test_sound_api PRIVATE OGGENC="${OGGENC}" OGGDEC="${OGGDEC}")
