# Installation and the Debian package: the program, the simulated box, the
# launcher and the icon in the places a desktop looks for them.
include(GNUInstallDirs)

install(TARGETS velumet-display RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET velumet-box)
  install(TARGETS velumet-box RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
include(${CMAKE_CURRENT_LIST_DIR}/manpage.cmake)
velumet_add_manpage(TARGET velumet-display INCLUDE packaging/man/velumet-display.h2m)
if(TARGET velumet-box)
  velumet_add_manpage(TARGET velumet-box INCLUDE packaging/man/velumet-box.h2m)
endif()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/org.velumet.Display.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${velumet_icon_png}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME org.velumet.Display.png)
install(FILES ${velumet_icon_svg}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME org.velumet.Display.svg)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velumet-display)
set(CPACK_PACKAGE_VENDOR "Velumet")
set(CPACK_PACKAGE_CONTACT "Velumet Display developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Shows a measurement from a measuring box on a serial port")
set(CPACK_PACKAGE_DESCRIPTION
    "Velumet Display sends the measuring box its start command, deciphers the\
 answer and shows resistance, reactance, R-Hand, R-Foot and the phase angle.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The Qt libraries come from dpkg-shlibdeps; the captions are laid out for
# a font with Arial's widths, which the libraries cannot know about.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
include(CPack)
