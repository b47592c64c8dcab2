# The running copies' lock file records and raise requests, read by the
# search for a running copy and by the window that is asked to come up.
find_package(SDL2 REQUIRED)
talvo_fuzz_target(instance_record
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/instance_record.cpp
  DEPS platform SDL2::SDL2)
