# The BMP loader on any file and rectangle.
talvo_fuzz_target(bmp8_load
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bmp8_load.cpp
  DEPS base)
