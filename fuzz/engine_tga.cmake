# The engine's TGA loaders: the memory image's from a file and from a
# stream, and the alpha image's.
talvo_fuzz_target(engine_tga
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine_tga.cpp
  DEPS engine engine_alpha)
