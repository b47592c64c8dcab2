# The engine's BMP reader on any stream, with the exception mask on and off.
# Seeds: pictures of the decoders' fixture writer and hostile headers.
talvo_fuzz_target(engine_bmp
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine_bmp.cpp
  DEPS engine)
