# The engine's depth text loader.
talvo_fuzz_target(depth_text
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/depth_text.cpp
  DEPS engine)
