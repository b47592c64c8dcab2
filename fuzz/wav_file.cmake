# The WAV source's RIFF walk over any bytes.
talvo_fuzz_target(wav_file
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/wav_file.cpp
  DEPS sound)
