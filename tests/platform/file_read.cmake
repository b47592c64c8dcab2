talvo_test(test_platform_file_read LABEL platform
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/file_read_test.cpp
  DEPS platform)
