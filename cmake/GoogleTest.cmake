# GoogleTest from Debian's sources, built with the same compiler and sanitizers as the tree.
set(DISPENSER_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${DISPENSER_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# Test code is compiled without optimisation: it is most of the tree's compile time and
# little of its run time, which goes to the product code (still built with the preset's
# flags) and to the line. GoogleTest itself likewise.
function(dispenser_test_code_options target)
  target_compile_options(${target} PRIVATE -O0)
endfunction()
foreach(library gtest gtest_main gmock gmock_main)
  dispenser_test_code_options(${library})
endforeach()

# dispenser_add_test(name LAYER unit|integration|ui SOURCES ... LIBRARIES ...)
# Natively every test case becomes its own CTest entry (ctest -R Suite.Case works);
# under wine one entry per executable keeps the emulator start-up cost down, and a
# single case is chosen with --gtest_filter.
function(dispenser_add_test name)
  cmake_parse_arguments(ARG "" "LAYER;TIMEOUT" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  dispenser_target_options(${name})
  dispenser_test_code_options(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main)
  set(labels ${ARG_LAYER} ${ARG_LABELS})
  if(CMAKE_CROSSCOMPILING)
    list(APPEND labels wine)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT})
  else()
    gtest_discover_tests(${name}
      PROPERTIES LABELS ${ARG_LAYER} TIMEOUT ${ARG_TIMEOUT}
      DISCOVERY_TIMEOUT 60)
    # A list does not pass through the discovery's PROPERTIES: further labels are set
    # on the discovered cases (${name}_TESTS) by a file CTest reads after them.
    if(ARG_LABELS)
      set(labels_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
      file(WRITE "${labels_file}"
        "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${labels}\")\nendif()\n")
      set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${labels_file}")
    endif()
  endif()
endfunction()

# Under wine: ARTIFACTS_DIR, the Windows path of the build's artifacts folder, for a test
# that saves pictures there.
set(DISPENSER_ARTIFACTS_ENVIRONMENT "ARTIFACTS_DIR=Z:${CMAKE_BINARY_DIR}/artifacts")

# dispenser_add_simulator_test(name SOURCES ... LIBRARIES ... [LABELS ...]
#                              [INCLUDE_DIRECTORIES ...] [ARTIFACTS])
# An integration test that talks to the simulated dispenser. Natively the simulator runs
# inside the test program; under wine the program runs inside scripts/with-simulator.sh,
# which starts the native simulator (build/linux) on the wine session's COM1 and COM10.
# SOURCES may hold resource scripts; LABELS are added to its CTest labels (ui for a test
# that opens windows); ARTIFACTS gives it ARTIFACTS_DIR under wine.
function(dispenser_add_simulator_test name)
  cmake_parse_arguments(ARG "ARTIFACTS" "" "SOURCES;LIBRARIES;LABELS;INCLUDE_DIRECTORIES" ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    add_executable(${name} ${ARG_SOURCES})
    dispenser_target_options(${name})
    dispenser_test_code_options(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} simulator_support GTest::gmock GTest::gtest_main)
    add_test(NAME ${name}
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-simulator.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
              $<TARGET_FILE:${name}> --gtest_color=no)
    set(labels integration wine ${ARG_LABELS})
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT 600)
    if(ARG_ARTIFACTS)
      set_tests_properties(${name} PROPERTIES ENVIRONMENT "${DISPENSER_ARTIFACTS_ENVIRONMENT}")
    endif()
  else()
    dispenser_add_test(${name} LAYER integration SOURCES ${ARG_SOURCES}
      LIBRARIES ${ARG_LIBRARIES} simulator_support LABELS ${ARG_LABELS})
  endif()
  if(ARG_INCLUDE_DIRECTORIES)
    target_include_directories(${name} PRIVATE ${ARG_INCLUDE_DIRECTORIES})
  endif()
endfunction()
