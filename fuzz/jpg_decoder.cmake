talvo_fuzz_target(jpg_decoder
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/jpg_decoder.cpp
  DEPS talvo_img)
