# DirectSound over the audio device, critical sections and events.
talvo_test(test_platform_audio LABEL platform-audio
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/audio_mix_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/audio_device_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/sync_test.cpp
  DEPS platform
  TSAN)
