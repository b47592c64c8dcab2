talvo_test(test_platform_crt LABEL platform
  SOURCES crt_test.cpp
  DEPS platform)
