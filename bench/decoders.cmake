# Loading 800x600 JPEG, BMP and TGA pictures through the decoders beside
# libjpeg's own stdio reading and SDL_LoadBMP.
find_package(SDL2 REQUIRED)
find_package(JPEG REQUIRED)
talvo_bench(decoders
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/decoders.cpp
  DEPS talvo_img SDL2::SDL2 JPEG::JPEG)
