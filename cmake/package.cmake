# The Debian package of the Linux tools: dispenserctl and lcdm-sim in bin/, a manual page of
# each made by help2man from its --help and --version. Only the linux-package preset includes
# this file, so no other build installs anything and none needs help2man.

if(WIN32 OR DISPENSER_SANITIZE OR DISPENSER_BUILD_FUZZERS)
  message(FATAL_ERROR "The package holds plain native programs: configure it without sanitizers "
                      "or fuzzers, natively (cmake --preset linux-package)")
endif()

include(GNUInstallDirs)
find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)

# CPack installs what is built and no more: the package build makes only its own targets.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS dispenserctl lcdm-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The pages' date is the last commit's (or SOURCE_DATE_EPOCH's), not the build's, so that
# two builds of one commit give the same pages.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(DISPENSER_SOURCE_DATE $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE DISPENSER_SOURCE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE _git_status)
  if(NOT _git_status EQUAL 0 OR DISPENSER_SOURCE_DATE STREQUAL "")
    file(TIMESTAMP ${PROJECT_SOURCE_DIR}/CMakeLists.txt DISPENSER_SOURCE_DATE "%s" UTC)
  endif()
endif()

set(_man_pages)
# A section 1 page of TARGET from its --help and --version, with DESCRIPTION in its NAME line.
# The program runs by its path in the build tree; help2man names it after its --version line.
function(dispenser_man_page target description)
  set(page ${CMAKE_BINARY_DIR}/man/${target}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=${DISPENSER_SOURCE_DATE}
            ${HELP2MAN} --no-info --section=1 --name=${description} --output=${page}
            $<TARGET_FILE:${target}>
    # -n: no file name or time in the gzip header.
    COMMAND ${GZIP} -9nf ${page}
    DEPENDS ${target}
    COMMENT "Manual page of ${target}"
    VERBATIM)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(_man_pages ${_man_pages} ${page}.gz PARENT_SCOPE)
endfunction()

dispenser_man_page(dispenserctl "service tool of LCDM-1000 and LCDM-2000 banknote dispensers")
dispenser_man_page(lcdm-sim "simulator of LCDM-1000 and LCDM-2000 banknote dispensers")
add_custom_target(man-pages ALL DEPENDS ${_man_pages})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dispenser-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool and simulator for LCDM banknote dispensers")
# Lines as the control file shows them (CPack does not wrap them).
set(CPACK_PACKAGE_DESCRIPTION
  "dispenserctl configures and tests an LCDM-1000 or LCDM-2000 banknote dispenser
on a serial port: status, purge, test reject, payouts with live progress,
counters, settings, reconciliation of a pass in doubt and the dispenser's logs.
lcdm-sim plays either device on a pseudo-terminal or a serial port, with
faults on request and the ground truth of every note.")
# The release owner sets the real address: cmake --preset linux-package -DDISPENSER_PACKAGE_MAINTAINER=...
set(DISPENSER_PACKAGE_MAINTAINER "Orvane dispenser developers <dispenser@orvane.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DISPENSER_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
execute_process(COMMAND dpkg --print-architecture
                OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
# The libraries the programs link, with their versions, as dpkg-shlibdeps finds them.
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  message(STATUS "dpkg-shlibdeps not found (package dpkg-dev): the package's Depends are written out")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
set(CPACK_STRIP_FILES ON)
# The package's file times are the pages' date too, so one commit gives one package.
file(WRITE ${CMAKE_BINARY_DIR}/CPackSourceDate.cmake "set(ENV{SOURCE_DATE_EPOCH} ${DISPENSER_SOURCE_DATE})\n")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackSourceDate.cmake)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
