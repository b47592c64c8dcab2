# The resource list and image packs, in memory and on the display. The
# packs are made at test time by make_packs.py (Debian's Python) in a fresh
# directory per test.
talvo_test(test_engine_packs LABEL packs
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/rle8_row_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pack_draw_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pack_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/res_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pack_surface_test.cpp
  DEPS engine)
target_compile_definitions(test_engine_packs PRIVATE
  MAKE_PACKS_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/make_packs.py")
