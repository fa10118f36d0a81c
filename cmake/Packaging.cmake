# Install rules, the manual page and the Debian package.
#
# Layout under the prefix, as Debian keeps games:
#   ${TALVOREN_INSTALL_BINDIR}   games/talvoren
#   ${TALVOREN_INSTALL_DATADIR}  share/games/talvoren/{bear,hippopotamus,wasp,raven}.txt
#   ${CMAKE_INSTALL_MANDIR}/man6 talvoren.6.gz
# The two folder variables are defined beside the platform library, which
# builds the path from the binary to the pictures into the game.
#
# Everything the game needs is in the "game" component; `cpack` packages only
# that one, so nothing a test framework might install ends up in the package.

if(NOT DEFINED TALVOREN_INSTALL_BINDIR OR NOT DEFINED TALVOREN_INSTALL_DATADIR)
  message(FATAL_ERROR "TALVOREN_INSTALL_BINDIR and TALVOREN_INSTALL_DATADIR must be set before packaging")
endif()

install(TARGETS talvoren RUNTIME DESTINATION ${TALVOREN_INSTALL_BINDIR} COMPONENT game)

list(TRANSFORM TALVOREN_PICTURES PREPEND ${PROJECT_SOURCE_DIR}/data/ OUTPUT_VARIABLE talvoren_picture_files)
install(FILES ${talvoren_picture_files} DESTINATION ${TALVOREN_INSTALL_DATADIR} COMPONENT game)

# The manual page carries the project's version in its title line.
set(talvoren_manual_source ${PROJECT_SOURCE_DIR}/data/talvoren.6)
set(talvoren_manual ${CMAKE_BINARY_DIR}/man/talvoren.6)
file(READ ${talvoren_manual_source} talvoren_manual_text)
string(REGEX REPLACE "\"Talvoren [^\"]*\"" "\"Talvoren ${PROJECT_VERSION}\"" talvoren_manual_text
       "${talvoren_manual_text}")
file(CONFIGURE OUTPUT ${talvoren_manual} CONTENT "${talvoren_manual_text}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${talvoren_manual_source})

# Compressed where gzip is at hand, as Debian wants it; -n keeps the archive
# free of names and times, so rebuilds give the same bytes.
find_program(TALVOREN_GZIP gzip)
mark_as_advanced(TALVOREN_GZIP)
if(TALVOREN_GZIP)
  add_custom_command(
    OUTPUT ${talvoren_manual}.gz
    COMMAND ${TALVOREN_GZIP} -9 -n -k -f ${talvoren_manual}
    DEPENDS ${talvoren_manual}
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(talvoren_manual ALL DEPENDS ${talvoren_manual}.gz)
  install(FILES ${talvoren_manual}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
else()
  install(FILES ${talvoren_manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
endif()

# `cmake --build <folder> --target uninstall` removes what the last install
# put down, as listed in the install manifest (install_manifest.txt, or
# install_manifest_game.txt after an install of the "game" component only),
# under the same DESTDIR, and the game's own picture folder once it is empty.
set(talvoren_uninstall_script ${CMAKE_BINARY_DIR}/talvoren_uninstall.cmake)
file(CONFIGURE OUTPUT ${talvoren_uninstall_script} @ONLY CONTENT [=[
set(installed "")
foreach(manifest IN ITEMS install_manifest.txt install_manifest_game.txt)
  if(EXISTS "@CMAKE_BINARY_DIR@/${manifest}")
    file(STRINGS "@CMAKE_BINARY_DIR@/${manifest}" listed)
    list(APPEND installed ${listed})
  endif()
endforeach()
if(NOT installed)
  message(FATAL_ERROR "Nothing to uninstall: no install manifest in @CMAKE_BINARY_DIR@ (install first)")
endif()
list(REMOVE_DUPLICATES installed)
set(folders "")
foreach(file IN LISTS installed)
  set(path "$ENV{DESTDIR}${file}")
  if(EXISTS "${path}" OR IS_SYMLINK "${path}")
    message(STATUS "Removing ${path}")
    file(REMOVE "${path}")
    if(EXISTS "${path}")
      message(FATAL_ERROR "Could not remove ${path}")
    endif()
  endif()
  get_filename_component(folder "${path}" DIRECTORY)
  get_filename_component(folder_name "${folder}" NAME)
  if(folder_name STREQUAL "talvoren")
    list(APPEND folders "${folder}")
  endif()
endforeach()
list(REMOVE_DUPLICATES folders)
foreach(folder IN LISTS folders)
  file(GLOB left "${folder}/*")
  if(IS_DIRECTORY "${folder}" AND NOT left)
    message(STATUS "Removing ${folder}")
    file(REMOVE_RECURSE "${folder}")
  endif()
endforeach()
]=])
if(NOT TARGET uninstall)
  add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${talvoren_uninstall_script} VERBATIM)
endif()

# The Debian package: `cpack -G DEB` in the build folder.
set(TALVOREN_PACKAGE_MAINTAINER "Talvoren developers <talvoren@example.org>"
    CACHE STRING "Maintainer named in the package")
set(CPACK_PACKAGE_NAME talvoren)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Talvoren developers")
set(CPACK_PACKAGE_CONTACT "${TALVOREN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text role-playing game with a timing bar for every blow")
set(CPACK_PACKAGE_INSTALL_DIRECTORY talvoren)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};game;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
else()
  set(CPACK_GENERATOR ZIP)
endif()

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TALVOREN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The summary above is the first line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Talvoren is a single-player role-playing game for the terminal. You name a
hero and play Act 1 through numbered menus: the road to a guarded town, the
wizard Dubistrum's town, two wildernesses of hunting areas and a cursed town
with a raven quest.

Fights are turn-based duels against bears, hippopotamuses, wasps and ravens;
every attack and every heal is graded by a coloured bar that you stop with
the space bar.")

find_program(TALVOREN_DPKG dpkg)
mark_as_advanced(TALVOREN_DPKG)
if(TALVOREN_DPKG)
  execute_process(COMMAND ${TALVOREN_DPKG} --print-architecture
                  OUTPUT_VARIABLE talvoren_deb_architecture OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE talvoren_dpkg_result ERROR_QUIET)
  if(talvoren_dpkg_result EQUAL 0 AND talvoren_deb_architecture)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${talvoren_deb_architecture})
  endif()
endif()

# Dependencies are read off the binary where the Debian tools can (CPack
# needs `file` for that as well); without them, the C and C++ run-time
# libraries the game is linked against.
find_program(TALVOREN_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(TALVOREN_FILE_TOOL file)
mark_as_advanced(TALVOREN_DPKG_SHLIBDEPS TALVOREN_FILE_TOOL)
if(TALVOREN_DPKG_SHLIBDEPS AND TALVOREN_FILE_TOOL)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/out/" "/save1\\\\.txt$" "\\\\.swp$")

include(CPack)
