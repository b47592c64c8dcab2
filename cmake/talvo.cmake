# Helpers shared by every folder's CMakeLists.

include(GoogleTest)

# Layers. Every source folder is one layer and one static library; the
# folders are listed in TALVO_SOURCE_DIRS (CMakeLists.txt) lowest first:
# platform, base, Lib/talvo/src/talvo, Lib/talvo/src/img, image_ops, sound,
# engine, engine/draw, engine/alpha, engine/rle8, engine/app, game, tools. A layer sees
# its own headers and those of the layers below that it links; nothing else.
#
# How a library declares its layer:
#  1. Its folder stands in TALVO_SOURCE_DIRS at its place in that order, and
#     its CMakeLists.txt calls talvo_library. The folder is the layer; there
#     is nothing else to declare.
#  2. DEPS name the libraries of lower layers whose headers it includes (they
#     come with it to everything that links it), PRIVATE_DEPS what only its
#     sources use. A talvo library of the same or a higher layer in DEPS or
#     PRIVATE_DEPS stops the configuration (talvo_check_layers). Where a lower
#     layer's code calls into a higher one at link time only (the image
#     library's operations in image_ops, the engine's draw slots in
#     engine/draw), that link is made after talvo_library with
#     target_link_libraries(<lower> INTERFACE "$<LINK_ONLY:<higher>>"): it
#     links, and shows no header.
#  3. Headers are named by the folder's path from the project root, or from
#     Lib/talvo/src for the talvo libraries: "platform/win32.h", "base/err.h",
#     "talvo/Log.h", "img/Image.h", "engine/draw/dispatch.h". Each library's
#     include root holds only its own folder's headers (links under
#     <build>/layers/<target>/, made at configure time and again whenever a
#     header comes or goes), so an include of a layer the library does not
#     link fails to compile, an upward include among them.
# Only platform/ includes system, POSIX or SDL headers: SDL comes with the
# platform library privately, and scripts/check-layers (ctest label
# "layering") names every file outside platform/ that includes one.

# Benchmarks, fuzz targets and tests share helpers named from the project
# root ("bench/picture.h", "tests/engine/pack_heap.h"): their include root
# holds bench/, fuzz/ and tests/, and no layer.
set(TALVO_PROGRAMS_INCLUDE_ROOT ${CMAKE_BINARY_DIR}/layers/programs)
file(MAKE_DIRECTORY ${TALVO_PROGRAMS_INCLUDE_ROOT})
foreach(dir bench fuzz tests)
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${dir} ${TALVO_PROGRAMS_INCLUDE_ROOT}/${dir} SYMBOLIC)
endforeach()

# The layer of a source folder: its place in TALVO_SOURCE_DIRS, and the
# prefix its headers are named by.
function(talvo_layer_of dir index_var prefix_var)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
  list(FIND TALVO_SOURCE_DIRS "${rel}" index)
  if(index LESS 0)
    message(FATAL_ERROR "talvo_library in ${rel}: the folder is no layer; add it to "
                        "TALVO_SOURCE_DIRS (CMakeLists.txt) at its place in the layer order")
  endif()
  string(REGEX REPLACE "^Lib/talvo/src/" "" prefix "${rel}")
  set(${index_var} ${index} PARENT_SCOPE)
  set(${prefix_var} ${prefix} PARENT_SCOPE)
endfunction()

# talvo_library(<target> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# The static library of the calling folder's layer (see above).
function(talvo_library target)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  talvo_layer_of(${CMAKE_CURRENT_SOURCE_DIR} layer prefix)
  add_library(${target} STATIC ${A_SOURCES})
  set_property(TARGET ${target} PROPERTY TALVO_LAYER ${layer})
  set_property(GLOBAL APPEND PROPERTY TALVO_LIBRARIES ${target})

  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${prefix})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${prefix}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${root})

  if(A_DEPS)
    target_link_libraries(${target} PUBLIC ${A_DEPS})
  endif()
  if(A_PRIVATE_DEPS)
    target_link_libraries(${target} PRIVATE ${A_PRIVATE_DEPS})
  endif()
endfunction()

# Stops the configuration when a talvo library links one of its own or a
# higher layer (called once every folder is added).
function(talvo_check_layers)
  get_property(libraries GLOBAL PROPERTY TALVO_LIBRARIES)
  foreach(lib IN LISTS libraries)
    get_target_property(layer ${lib} TALVO_LAYER)
    get_target_property(deps ${lib} LINK_LIBRARIES)
    foreach(dep IN LISTS deps)
      if(TARGET ${dep})
        get_target_property(dep_layer ${dep} TALVO_LAYER)
        if(dep_layer AND NOT dep_layer LESS layer)
          list(GET TALVO_SOURCE_DIRS ${layer} dir)
          list(GET TALVO_SOURCE_DIRS ${dep_layer} dep_dir)
          message(FATAL_ERROR "${lib} (${dir}) links ${dep} (${dep_dir}): a layer links "
                              "only layers below it (see cmake/talvo.cmake)")
        endif()
      endif()
    endforeach()
  endforeach()
endfunction()

# talvo_test(<target> LABEL <label> SOURCES ... [DEPS ...] [TIMEOUT <s>]
#            [ONE_PER_PROCESS] [TSAN])
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
#
# TSAN: the program also runs under ThreadSanitizer (`make test-tsan`, part
# of `make test`). The ThreadSanitizer build tree (TALVO_TSAN) registers only
# these programs with ctest; the target talvo_tsan builds them.
set(TALVO_TEST_ENV
  SDL_VIDEODRIVER=dummy
  SDL_AUDIODRIVER=dummy
  TALVO_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR})
if(TALVO_TSAN)
  # Suppressions only for reports inside system libraries, each with its
  # reason.
  list(APPEND TALVO_TEST_ENV
    "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
  add_custom_target(talvo_tsan)
endif()
function(talvo_test target)
  cmake_parse_arguments(A "ONE_PER_PROCESS;TSAN" "LABEL;TIMEOUT" "SOURCES;DEPS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # The headless defaults are also built in (tests/support/test_env.cpp): the
  # discovered tests' ENVIRONMENT keeps only its first variable
  # (gtest_discover_tests flattens the list).
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/test_env.cpp)
  target_compile_definitions(${target} PRIVATE TALVO_PYTHON="${TALVO_PYTHON}")
  if(TALVO_TSAN)
    if(NOT A_TSAN)
      # Defined, so that what a test list adds to it still applies, but
      # neither built nor registered.
      set_target_properties(${target} PROPERTIES EXCLUDE_FROM_ALL ON)
      return()
    endif()
    add_dependencies(talvo_tsan ${target})
    # The options are built in: the discovered tests' ENVIRONMENT keeps only
    # its first variable (gtest_discover_tests flattens the list).
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/tsan_options.cpp)
    target_compile_definitions(${target} PRIVATE
      TALVO_TSAN_SUPPRESSIONS="${PROJECT_SOURCE_DIR}/tests/tsan.supp")
  endif()
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
