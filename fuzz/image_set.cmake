# Image sets: any bytes as the data of an unpacked ".imgs" rw file, with
# every image class linked; and the maker of its seeds. Seeds: sets like the
# image set tests' fixtures, the game's ball, and sets of alpha and RLE8
# images.
talvo_fuzz_target(image_set
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/image_set.cpp
  DEPS engine engine_alpha engine_rle8)
# `image_set_seeds <dir>` writes the RLE8 and alpha seeds of the corpus
# (fuzz/corpus/image_set) anew.
if(TALVO_TESTS AND NOT TALVO_FUZZ)
  add_executable(image_set_seeds ${CMAKE_CURRENT_SOURCE_DIR}/image_set_seeds.cpp)
  target_link_libraries(image_set_seeds PRIVATE game_data_tools engine_alpha)
endif()
