# Sprites, sprite lists and their dirty grids, on memory images.
talvo_test(test_engine_sprites LABEL sprites
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sprites_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sprite_list_test.cpp
  DEPS engine)
