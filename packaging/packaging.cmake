# Installation and the Debian package: the programs and their manual pages,
# the launcher, the icon and the AppStream metadata in the places a desktop
# and a software centre look for them. Windows has packages of its own.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows/windows.cmake)
  return()
endif()

include(GNUInstallDirs)

install(TARGETS velumet-display velumet-measure RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET velumet-box)
  install(TARGETS velumet-box RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
include(${CMAKE_CURRENT_LIST_DIR}/manpage.cmake)
velumet_add_manpage(TARGET velumet-display INCLUDE packaging/man/velumet-display.h2m)
velumet_add_manpage(TARGET velumet-measure INCLUDE packaging/man/velumet-measure.h2m)
if(TARGET velumet-box)
  velumet_add_manpage(TARGET velumet-box INCLUDE packaging/man/velumet-box.h2m)
endif()

set(desktop_file ${CMAKE_CURRENT_LIST_DIR}/org.velumet.Display.desktop)
set(metainfo_file ${CMAKE_CURRENT_LIST_DIR}/org.velumet.Display.metainfo.xml)
install(FILES ${desktop_file} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${metainfo_file} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${velumet_icon_png}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME org.velumet.Display.png)
install(FILES ${velumet_icon_svg}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME org.velumet.Display.svg)

# Debian wants the copyright file as it is and the changelog compressed
# without a name or time stamp inside; the package is native, so the Debian
# changelog is changelog.gz.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/velumet-display)
set(debian_changelog ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
set(changelog_gz ${PROJECT_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E copy ${debian_changelog} ${PROJECT_BINARY_DIR}/debian/changelog
  COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/debian/changelog
  DEPENDS ${debian_changelog}
  VERBATIM)
add_custom_target(debian-changelog ALL DEPENDS ${changelog_gz})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${changelog_gz} DESTINATION ${doc_dir})

if(BUILD_TESTING)
  # What software centres and desktops check; reported disabled where the
  # tools are missing (./build.sh test installs them).
  find_program(APPSTREAMCLI appstreamcli)
  find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
  add_test(NAME metainfo_valid
           COMMAND ${APPSTREAMCLI} validate --no-net --strict ${metainfo_file})
  add_test(NAME desktop_file_valid COMMAND ${DESKTOP_FILE_VALIDATE} ${desktop_file})
  set_tests_properties(desktop_file_valid PROPERTIES FAIL_REGULAR_EXPRESSION ": (error|warning): ")
  foreach(tool_test IN ITEMS "APPSTREAMCLI metainfo_valid" "DESKTOP_FILE_VALIDATE desktop_file_valid")
    separate_arguments(tool_test)
    list(GET tool_test 0 tool)
    list(GET tool_test 1 test)
    if(NOT ${tool})
      message(WARNING "${tool} not found: ${test} is disabled")
      set_tests_properties(${test} PROPERTIES DISABLED TRUE)
    endif()
  endforeach()
  # Every list of releases must start with the version being built.
  add_test(NAME release_notes_name_this_version
           COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION}
                   -DMETAINFO=${metainfo_file} -DDEBIAN_CHANGELOG=${debian_changelog}
                   -DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG.md
                   -P ${CMAKE_CURRENT_LIST_DIR}/releasenotes.cmake)
endif()

# Whoever builds the package for their site puts themselves here.
set(VELUMET_MAINTAINER "Velumet Display developers <maintainers@velumet.example>"
    CACHE STRING "Maintainer of the Debian package: a name and an address in <>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velumet-display)
set(CPACK_PACKAGE_VENDOR "Velumet")
set(CPACK_PACKAGE_CONTACT "${VELUMET_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELUMET_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Shows a measurement from a measuring box on a serial port")
# CPack keeps the line breaks; Debian wants every line within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Velumet Display sends the measuring box its start command, deciphers the
answer and shows resistance, reactance, R-Hand, R-Foot and the phase angle.
velumet-measure takes measurements from scripts and writes them as text, CSV
or JSON Lines; velumet-box is a simulated box for trying both without the
hardware.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The Qt libraries come from dpkg-shlibdeps; the captions are laid out for
# a font with Arial's widths, which the libraries cannot know about.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
include(CPack)
