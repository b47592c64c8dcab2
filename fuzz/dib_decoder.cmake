talvo_fuzz_target(dib_decoder
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dib_decoder.cpp
  DEPS talvo_img)
