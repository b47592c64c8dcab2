talvo_test(test_platform_module LABEL platform
  SOURCES module_test.cpp
  DEPS platform)
add_dependencies(test_platform_module quillframe_stub)
target_compile_definitions(test_platform_module PRIVATE
  QUILLFRAME_STUB="$<TARGET_FILE:quillframe_stub>")
