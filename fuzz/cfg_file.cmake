# The configuration file's reader, and its writer's round trip.
talvo_fuzz_target(cfg_file
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/cfg_file.cpp
  DEPS engine)
