# Image packs: opening, finding items and drawing them onto guarded pels.
# Seeds: the packs of tests/engine/make_packs.py and cuts of two_items.pak.
talvo_fuzz_target(image_pack
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/image_pack.cpp
  DEPS engine)
