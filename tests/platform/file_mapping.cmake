talvo_test(test_platform_file_mapping LABEL platform
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/file_mapping_test.cpp
  DEPS platform)
