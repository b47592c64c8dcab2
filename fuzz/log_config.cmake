# The log settings file's reader.
talvo_fuzz_target(log_config
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/log_config.cpp
  DEPS talvo)
