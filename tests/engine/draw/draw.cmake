# The per-pel operations, the kernel table and its kernels, the dispatchers
# and imgCTy::DrawEx.
talvo_test(test_engine_draw LABEL engine-draw
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/kernels_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/members_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/table_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dispatch_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/layers_test.cpp
  DEPS engine_draw talvo_img)
