# The window, message and input layer. window_peer is the second process of
# the single-instance test.
add_executable(test_window_peer window_peer.cpp)
target_link_libraries(test_window_peer PRIVATE platform)

talvo_test(test_platform_window LABEL platform-window
  SOURCES window_test.cpp window_events_test.cpp input_script_test.cpp
  DEPS platform SDL2::SDL2)
target_compile_definitions(test_platform_window PRIVATE
  WINDOW_PEER_PATH="$<TARGET_FILE:test_window_peer>")
add_dependencies(test_platform_window test_window_peer)
