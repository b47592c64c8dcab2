# The first random generator from the start of a process.
talvo_test(test_base_rnd_start LABEL base ONE_PER_PROCESS
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/rnd_start_test.cpp
  DEPS base)
