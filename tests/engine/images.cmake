# Pel formats and palettes, the image base class, memory images and rw files.
talvo_test(test_engine_images LABEL engine-images
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pel_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/img_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rw_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/layers_test.cpp
  DEPS engine talvo_img)
