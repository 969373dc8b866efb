# Platform selection, warnings and sanitizers shared by every target of the project.

if(WIN32)
  set(DISPENSER_PLATFORM win32)
else()
  set(DISPENSER_PLATFORM posix)
endif()

# Sanitizers apply to everything compiled in the tree (GoogleTest included), so
# instrumented and plain code never meet in one process.
set(DISPENSER_SANITIZE "" CACHE STRING "Sanitizers for the native build: address;undefined or thread")
# Fuzzing builds instrument the whole tree for coverage; the targets add the fuzzer's main.
if(DISPENSER_BUILD_FUZZERS)
  list(APPEND DISPENSER_SANITIZE fuzzer-no-link)
endif()
if(DISPENSER_SANITIZE)
  list(JOIN DISPENSER_SANITIZE "," _sanitizers)
  add_compile_options(-fsanitize=${_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_sanitizers})
endif()

if(WIN32)
  # The Windows API surface the project is written against; W functions only.
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX
                          UNICODE _UNICODE __USE_MINGW_ANSI_STDIO=1)
endif()

# Warnings are errors in the project's own code; third-party code keeps its defaults.
function(dispenser_target_options target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wformat=2 -Wshadow -Wnon-virtual-dtor -Wcast-qual -Werror
    # GCC 12 reports overlapping copies inside std::string at -O2 and above that
    # cannot happen (a known false positive of that release).
    $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# Adds the platform backend file next to each portable source: name_posix.cpp or name_win32.cpp.
function(dispenser_platform_sources target directory)
  foreach(name IN LISTS ARGN)
    target_sources(${target} PRIVATE ${directory}/${DISPENSER_PLATFORM}/${name}_${DISPENSER_PLATFORM}.cpp)
  endforeach()
endfunction()
