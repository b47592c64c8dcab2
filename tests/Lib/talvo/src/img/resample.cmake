talvo_test(test_img_resample LABEL resample
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/collector_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/resample_test.cpp
  DEPS talvo_img)
