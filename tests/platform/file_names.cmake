# Deleting, moving and replacing files, and directory searches.
talvo_test(test_platform_file_names LABEL platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_names_test.cpp
  DEPS platform)
