# Fault injection and the call trace shared by the COM-style interfaces.
talvo_test(test_platform_call_trace LABEL platform
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/call_trace_test.cpp
  DEPS platform)
