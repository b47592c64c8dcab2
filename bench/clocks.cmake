# The tick clock and the stopwatch beside std::chrono's steady clock and
# clock_gettime, the clocks a user would read instead.
talvo_bench(clocks
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/clocks.cpp
  DEPS talvo)
