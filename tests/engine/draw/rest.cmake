# The weighted, scaled, depth-tested and specialised kernels by worked values
# and by their twins, and the line primitives.
talvo_test(test_engine_draw_rest LABEL engine-draw-rest
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/weighted_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scaled_depth_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/twins_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lines_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/layers_rest_test.cpp
  DEPS engine_draw talvo_img)
