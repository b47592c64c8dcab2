# Image sets: any bytes as the data of an unpacked ".imgs" rw file. Seeds:
# sets like the image set tests' fixtures.
talvo_fuzz_target(image_set
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/image_set.cpp
  DEPS engine)
