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

# talvo_test(<target> LABEL <label> SOURCES ... [DEPS ...] [TIMEOUT <s>]
#            [ONE_PER_PROCESS])
# A GoogleTest program. ctest runs each of its tests in a process of its own,
# under <label>. Tests run headless: SDL's dummy drivers, no display, no sound
# card.
#
# Every test must also pass with the others of its program in one process, in
# any order: the program is registered a second time as the ctest test
# <target>.shuffled (labels <label> and "shuffled"), which runs it whole with
# --gtest_shuffle. The seed is gtest's (printed in the output; `make test`
# picks one and prints it, GTEST_RANDOM_SEED=<n> repeats it). Fixtures put
# back the globals their tests read.
#
# ONE_PER_PROCESS: for programs whose tests must see the process from its
# start (the main log, the application's WinMain). They run only one test per
# process: the program is kept out of the shuffled run, and a run of more
# than one of its tests in one process is refused (tests/support/
# one_per_process.cpp).
set(TALVO_TEST_ENV
  SDL_VIDEODRIVER=dummy
  SDL_AUDIODRIVER=dummy
  TALVO_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR})
function(talvo_test target)
  cmake_parse_arguments(A "ONE_PER_PROCESS" "LABEL;TIMEOUT" "SOURCES;DEPS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${target} PRIVATE TALVO_PYTHON="${TALVO_PYTHON}")
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${A_LABEL} TIMEOUT ${A_TIMEOUT}
               ENVIRONMENT "${TALVO_TEST_ENV}")
  if(A_ONE_PER_PROCESS)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/one_per_process.cpp)
  else()
    add_test(NAME ${target}.shuffled COMMAND ${target} --gtest_shuffle
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    math(EXPR whole_timeout "${A_TIMEOUT} * 3")
    set_tests_properties(${target}.shuffled PROPERTIES
      LABELS "${A_LABEL};shuffled" TIMEOUT ${whole_timeout}
      ENVIRONMENT "${TALVO_TEST_ENV}")
  endif()
endfunction()

find_package(Threads REQUIRED)
