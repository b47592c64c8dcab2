# Files read in text mode: CR LF and Ctrl-Z.
talvo_fuzz_target(text_file
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/text_file.cpp
  DEPS talvo)
