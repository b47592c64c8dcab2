# Helpers shared by every folder's CMakeLists.

include(GoogleTest)

# talvo_library(<target> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# One static library per source folder; the project root and Lib/talvo/src
# are include roots, so headers are named "base/err.h", "talvo/Log.h" etc.
function(talvo_library target)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${target} STATIC ${A_SOURCES})
  target_include_directories(${target} PUBLIC
    ${PROJECT_SOURCE_DIR}
    ${PROJECT_SOURCE_DIR}/Lib/talvo/src)
  if(A_DEPS)
    target_link_libraries(${target} PUBLIC ${A_DEPS})
  endif()
  if(A_PRIVATE_DEPS)
    target_link_libraries(${target} PRIVATE ${A_PRIVATE_DEPS})
  endif()
endfunction()

# talvo_test(<target> LABEL <label> SOURCES ... [DEPS ...])
# A GoogleTest program whose tests are registered with ctest under <label>.
# Tests run headless: SDL's dummy drivers, no display, no sound card.
set(TALVO_TEST_ENV
  SDL_VIDEODRIVER=dummy
  SDL_AUDIODRIVER=dummy
  TALVO_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR})
function(talvo_test target)
  cmake_parse_arguments(A "" "LABEL;TIMEOUT" "SOURCES;DEPS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${A_LABEL} TIMEOUT ${A_TIMEOUT}
               ENVIRONMENT "${TALVO_TEST_ENV}")
endfunction()

find_package(Threads REQUIRED)
