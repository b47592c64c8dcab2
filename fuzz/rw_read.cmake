# rw files read as their data directs, with every image class linked; and
# the maker of its seeds.
talvo_fuzz_target(rw_read
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/rw_read.cpp
  DEPS engine engine_alpha engine_rle8)
# `rw_read_seeds <dir>` writes the seed corpus (fuzz/corpus/rw_read) anew.
if(TALVO_TESTS AND NOT TALVO_FUZZ)
  add_executable(rw_read_seeds ${CMAKE_CURRENT_SOURCE_DIR}/rw_read_seeds.cpp)
  target_link_libraries(rw_read_seeds PRIVATE engine engine_alpha engine_rle8)
endif()
