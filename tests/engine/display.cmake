# The display device, the surface image and the screen update.
talvo_test(test_engine_display LABEL display
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/display_test.cpp
  DEPS engine SDL2::SDL2)
