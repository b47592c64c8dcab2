# Threads, affinity, priorities and the tick count.
talvo_test(test_platform_threads LABEL clocks-logini
  SOURCES threads_test.cpp
  DEPS platform)
