# The engine's JPEG loader.
talvo_fuzz_target(engine_jpg
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine_jpg.cpp
  DEPS engine talvo_img)
