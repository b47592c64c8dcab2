# Image sets from ".imgs" files written at test time by make_imgs.py.
talvo_test(test_engine_image_sets LABEL image-sets
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/image_sets_test.cpp
  DEPS engine)
target_compile_definitions(test_engine_image_sets PRIVATE
  MAKE_IMGS_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/make_imgs.py")
