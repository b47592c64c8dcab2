# RLE8 images read from their stored form, copied and in place, locked,
# drawn and written back; and the maker of its seeds.
talvo_fuzz_target(rle8_image
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/rle8_image.cpp
  DEPS engine_rle8)
# `rle8_image_seeds <dir>` writes the seed corpus (fuzz/corpus/rle8_image)
# anew.
if(TALVO_TESTS AND NOT TALVO_FUZZ)
  add_executable(rle8_image_seeds ${CMAKE_CURRENT_SOURCE_DIR}/rle8_image_seeds.cpp)
  target_link_libraries(rle8_image_seeds PRIVATE engine_rle8)
  target_include_directories(rle8_image_seeds PRIVATE ${TALVO_PROGRAMS_INCLUDE_ROOT})
endif()
