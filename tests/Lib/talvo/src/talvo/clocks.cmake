# Processor identification, the tick clock and the stopwatch.
talvo_test(test_talvo_clocks LABEL clocks-logini
  SOURCES cpu_info_test.cpp stopwatch_test.cpp
  DEPS talvo)
