# Processor identification, the tick clock and the stopwatch.
talvo_test(test_talvo_clocks LABEL clocks-logini
  SOURCES cpu_info_test.cpp stopwatch_test.cpp
  DEPS talvo)

# The log settings file: its grammar, its reading, and a program that finds
# one beside itself.
add_executable(log_ini_helper log_ini_helper.cpp)
target_link_libraries(log_ini_helper PRIVATE talvo)
talvo_test(test_talvo_log_ini LABEL clocks-logini
  SOURCES log_config_test.cpp sandbox.cpp
  DEPS talvo)
add_dependencies(test_talvo_log_ini log_ini_helper)
target_compile_definitions(test_talvo_log_ini PRIVATE
  LOG_INI_HELPER="$<TARGET_FILE:log_ini_helper>")
