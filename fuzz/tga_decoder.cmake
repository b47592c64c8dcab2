talvo_fuzz_target(tga_decoder
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tga_decoder.cpp
  DEPS talvo_img)
