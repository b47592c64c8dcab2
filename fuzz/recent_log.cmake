# The log file's last lines, read back for a report box and laid out as the
# box shows them.
find_package(SDL2 REQUIRED)
talvo_fuzz_target(recent_log
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/recent_log.cpp
  DEPS talvo platform SDL2::SDL2)
