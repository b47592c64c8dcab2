# Alpha images read from their stored form, locked and drawn; and the maker
# of its seeds.
talvo_fuzz_target(alpha_image
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/alpha_image.cpp
  DEPS engine_alpha)
# `alpha_image_seeds <dir>` writes the seed corpus (fuzz/corpus/alpha_image)
# anew.
if(TALVO_TESTS AND NOT TALVO_FUZZ)
  add_executable(alpha_image_seeds ${CMAKE_CURRENT_SOURCE_DIR}/alpha_image_seeds.cpp)
  target_link_libraries(alpha_image_seeds PRIVATE engine_alpha)
endif()
