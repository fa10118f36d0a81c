# Install rules, the manual page, the Debian package and the Windows archive.
#
# Layout under the prefix, as Debian keeps games:
#   ${TALVOREN_INSTALL_BINDIR}   games/talvoren
#   ${TALVOREN_INSTALL_DATADIR}  share/games/talvoren/{bear,hippopotamus,wasp,raven}.txt
#   ${CMAKE_INSTALL_MANDIR}/man6 talvoren.6.gz
#   ${CMAKE_INSTALL_DOCDIR}      copyright (machine-readable), changelog.gz
# On Windows everything lies in one folder: talvoren.exe, the pictures,
# LICENSE.txt and README.txt, with CR LF line ends in the two texts.
# The two folder variables are defined beside the platform library, which
# builds the path from the binary to the pictures into the game.
#
# Everything the game needs is in the "game" component; `cpack` packages only
# that one, so nothing a test framework might install ends up in the package.

if(NOT DEFINED TALVOREN_INSTALL_BINDIR OR NOT DEFINED TALVOREN_INSTALL_DATADIR)
  message(FATAL_ERROR "TALVOREN_INSTALL_BINDIR and TALVOREN_INSTALL_DATADIR must be set before packaging")
endif()

set(TALVOREN_PACKAGE_MAINTAINER "Talvoren developers <talvoren@example.org>"
    CACHE STRING "Maintainer named in the package")
set(talvoren_package_files ${CMAKE_BINARY_DIR}/package)

install(TARGETS talvoren RUNTIME DESTINATION ${TALVOREN_INSTALL_BINDIR} COMPONENT game)

list(TRANSFORM TALVOREN_PICTURES PREPEND ${PROJECT_SOURCE_DIR}/data/ OUTPUT_VARIABLE talvoren_picture_files)
install(FILES ${talvoren_picture_files} DESTINATION ${TALVOREN_INSTALL_DATADIR} COMPONENT game)

# talvoren_install_gzipped(<file> <destination>): installs <file>.gz, made with
# gzip -9 -n as Debian wants it (no name or time inside, so rebuilds give the
# same bytes), or the file itself where gzip is missing.
find_program(TALVOREN_GZIP gzip)
mark_as_advanced(TALVOREN_GZIP)
function(talvoren_install_gzipped file destination)
  if(NOT TALVOREN_GZIP)
    install(FILES ${file} DESTINATION ${destination} COMPONENT game)
    return()
  endif()
  get_filename_component(name ${file} NAME)
  add_custom_command(
    OUTPUT ${file}.gz
    COMMAND ${TALVOREN_GZIP} -9 -n -k -f ${file}
    DEPENDS ${file}
    COMMENT "Compressing ${name}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER "talvoren_gzip_${name}" target)
  add_custom_target(${target} ALL DEPENDS ${file}.gz)
  install(FILES ${file}.gz DESTINATION ${destination} COMPONENT game)
endfunction()

# The changelog names the version it releases; the project's version is the
# one the whole build uses, so the two must agree.
set(talvoren_changelog_source ${PROJECT_SOURCE_DIR}/CHANGELOG)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${talvoren_changelog_source}
                                                                ${PROJECT_SOURCE_DIR}/LICENSE)
file(STRINGS ${talvoren_changelog_source} talvoren_changelog_top LIMIT_COUNT 1)
if(NOT talvoren_changelog_top MATCHES "^talvoren \\(([^)]*)\\) ")
  message(FATAL_ERROR "CHANGELOG must start with an entry 'talvoren (<version>) ...', not: ${talvoren_changelog_top}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "The newest CHANGELOG entry is for ${CMAKE_MATCH_1}, but the project's version is "
                      "${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION} at the top of CHANGELOG")
endif()

# The manual's date is the top entry's date, as its trailer line gives it
# (" -- Name <mail>  Mon, 07 Dec 2026 10:00:00 +0000").
file(STRINGS ${talvoren_changelog_source} talvoren_changelog_trailers REGEX "^ -- ")
list(GET talvoren_changelog_trailers 0 talvoren_changelog_trailer)
set(talvoren_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
if(NOT talvoren_changelog_trailer MATCHES ">  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "The top CHANGELOG entry's trailer has no date: ${talvoren_changelog_trailer}")
endif()
set(talvoren_day ${CMAKE_MATCH_1})
set(talvoren_year ${CMAKE_MATCH_3})
list(FIND talvoren_months ${CMAKE_MATCH_2} talvoren_month)
if(talvoren_month LESS 0)
  message(FATAL_ERROR "The top CHANGELOG entry's date has no month: ${talvoren_changelog_trailer}")
endif()
math(EXPR talvoren_month "${talvoren_month} + 1")
if(talvoren_month LESS 10)
  set(talvoren_month "0${talvoren_month}")
endif()
set(TALVOREN_RELEASE_DATE "${talvoren_year}-${talvoren_month}-${talvoren_day}")

# The licence: its copyright line and its text, written once in LICENSE.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE talvoren_license_lines)
set(talvoren_copyright "")
set(talvoren_license_text "")
foreach(line IN LISTS talvoren_license_lines)
  if(line MATCHES "^Copyright \\(c\\) (.+)$")
    set(talvoren_copyright "${CMAKE_MATCH_1}")
  elseif(talvoren_copyright AND (talvoren_license_text OR line))
    list(APPEND talvoren_license_text "${line}")
  endif()
endforeach()
if(NOT talvoren_copyright OR NOT talvoren_license_text)
  message(FATAL_ERROR "LICENSE must hold a line 'Copyright (c) <year> <holders>' followed by the licence text")
endif()

if(WIN32)
  # Windows readers expect CR LF; Notepad of older Windows shows nothing else.
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${talvoren_package_files}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/data/README-windows.txt ${talvoren_package_files}/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${talvoren_package_files}/LICENSE.txt ${talvoren_package_files}/README.txt
          DESTINATION ${TALVOREN_INSTALL_BINDIR} COMPONENT game)
else()
  # Debian's machine-readable copyright file; Debian calls the MIT licence
  # "Expat". Each licence line is indented by one blank, empty lines are " .".
  set(talvoren_license_field "")
  foreach(line IN LISTS talvoren_license_text)
    if(line STREQUAL "")
      set(line ".")
    endif()
    string(APPEND talvoren_license_field " ${line}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${talvoren_package_files}/copyright @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Talvoren
Upstream-Contact: @TALVOREN_PACKAGE_MAINTAINER@

Files: *
Copyright: @talvoren_copyright@
License: Expat
@talvoren_license_field@")
  install(FILES ${talvoren_package_files}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT game)

  configure_file(${talvoren_changelog_source} ${talvoren_package_files}/changelog COPYONLY)
  talvoren_install_gzipped(${talvoren_package_files}/changelog ${CMAKE_INSTALL_DOCDIR})

  configure_file(${PROJECT_SOURCE_DIR}/data/talvoren.6 ${CMAKE_BINARY_DIR}/man/talvoren.6 @ONLY)
  talvoren_install_gzipped(${CMAKE_BINARY_DIR}/man/talvoren.6 ${CMAKE_INSTALL_MANDIR}/man6)
endif()

# `cmake --build <folder> --target uninstall` removes what the last install
# put down, as listed in the install manifest (install_manifest.txt, or
# install_manifest_game.txt after an install of the "game" component only),
# under the same DESTDIR, and the game's own folders (named talvoren: the
# pictures and the documentation) once they are empty.
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

# The packages: `cpack` in the build folder makes the Debian package on
# Linux and talvoren-<version>-win64.zip for Windows.
set(CPACK_PACKAGE_NAME talvoren)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Talvoren developers")
set(CPACK_PACKAGE_CONTACT "${TALVOREN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text role-playing game with a timing bar for every blow")
set(CPACK_PACKAGE_INSTALL_DIRECTORY talvoren)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};game;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
# Folders in the packages are rwxr-xr-x whatever the packager's umask (files
# get their modes from the install rules). CPack makes some folders itself,
# so they are set once everything is staged.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/talvoren_cpack_folders.cmake)
file(WRITE ${CPACK_PRE_BUILD_SCRIPTS} [=[
foreach(staged IN ITEMS "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" "${CPACK_TEMPORARY_DIRECTORY}")
  if(staged AND IS_DIRECTORY "${staged}")
    file(CHMOD_RECURSE "${staged}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
]=])
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # A component archive lists its files in sorted order; a plain one in the
  # order the file system happens to give, which differs between machines.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL game)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  # Owner 0 whoever packs (newer CPack; older ones record the packer's ids).
  set(CPACK_ARCHIVE_UID 0)
  set(CPACK_ARCHIVE_GID 0)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME talvoren-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME talvoren-${PROJECT_VERSION}-win32)
  endif()
elseif(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
else()
  set(CPACK_GENERATOR TGZ)
endif()

# Rebuilds of one commit give the same package bytes: every time stamp in
# the archives is the time of the last commit, read when cpack runs (a set
# SOURCE_DATE_EPOCH wins; without git, the changelog file's time, which an
# unpacked source archive holds from the commit).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/talvoren_cpack_time.cmake)
file(CONFIGURE OUTPUT ${CPACK_PROJECT_CONFIG_FILE} @ONLY CONTENT [=[
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "@PROJECT_SOURCE_DIR@" log -1 --format=%ct
                  OUTPUT_VARIABLE commit_time RESULT_VARIABLE git_result
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(git_result EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
  else()
    file(TIMESTAMP "@talvoren_changelog_source@" commit_time "%s" UTC)
    message(STATUS "No git history: package times from the changelog file (${commit_time})")
    set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
  endif()
endif()
]=])

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
if(TALVOREN_DPKG AND NOT WIN32)
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
