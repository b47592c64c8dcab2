# WAV files: the RIFF WAVE walk over any bytes, and the WAV source opening,
# starting and filling from them.
talvo_fuzz_target(wav_file
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/wav_file.cpp
  DEPS sound)
