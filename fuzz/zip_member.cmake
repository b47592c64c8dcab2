# Zip archive members read through the archive streams.
talvo_fuzz_target(zip_member
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/zip_member.cpp
  DEPS talvo)
