# The application object through WinMain, one test per process, with a hook
# set that records and scripts the game's part. app_peer is the second
# instance of the single-instance test.
add_executable(test_app_peer ${CMAKE_CURRENT_LIST_DIR}/app_peer.cpp ${CMAKE_CURRENT_LIST_DIR}/app_hooks.cpp)
target_link_libraries(test_app_peer PRIVATE engine_app)

talvo_test(test_engine_app LABEL app ONE_PER_PROCESS
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_test.cpp ${CMAKE_CURRENT_LIST_DIR}/app_hooks.cpp
  DEPS engine_app)
target_compile_definitions(test_engine_app PRIVATE APP_PEER_PATH="$<TARGET_FILE:test_app_peer>")
add_dependencies(test_engine_app test_app_peer)
