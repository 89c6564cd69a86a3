# Windows: the programs' icon and version information, everything they need
# beside them (Qt's DLLs and plugins, the MinGW runtime, the licence texts),
# and CPack's two packages from that one tree: a zip to unpack and run, and
# an NSIS installer. Installed, the programs sit at the top of the tree, with
# Qt's plugins in the folders below them where Qt looks first.

# The icon in the sizes Windows asks for: the Start menu and title bars at
# 16 to 48 pixels, Explorer's large views at 256.
find_program(ICOTOOL icotool REQUIRED)
set(icon_dir ${PROJECT_BINARY_DIR}/windows)
set(icon_svg ${PROJECT_SOURCE_DIR}/src/ui/pictures/icon.svg)
set(velumet_ico ${icon_dir}/velumet-display.ico)
set(icon_pngs)
foreach(size IN ITEMS 16 32 48 256)
  velumet_render_picture(${icon_svg} ${icon_dir}/icon-${size}.png ${size} ${size})
  list(APPEND icon_pngs ${icon_dir}/icon-${size}.png)
endforeach()
list(POP_BACK icon_pngs icon_256)
# The largest size stays PNG inside the icon, as Windows expects at 256.
add_custom_command(OUTPUT ${velumet_ico}
  COMMAND ${ICOTOOL} --create --output=${velumet_ico} ${icon_pngs} --raw=${icon_256}
  DEPENDS ${icon_pngs} ${icon_256}
  COMMENT "Writing velumet-display.ico"
  VERBATIM)
add_custom_target(velumet-icon DEPENDS ${velumet_ico})

foreach(program_description IN ITEMS
        "velumet-display|Velumet Display: one measurement from the measuring box"
        "velumet-measure|velumet-measure: measurements from the measuring box for scripts")
  string(REPLACE "|" ";" program_description "${program_description}")
  list(GET program_description 0 velumet_program)
  list(GET program_description 1 velumet_description)
  set(rc ${icon_dir}/${velumet_program}.rc)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/program.rc.in ${rc} @ONLY)
  target_sources(${velumet_program} PRIVATE ${rc})
  # windres reads the icon when it compiles the resource.
  set_source_files_properties(${rc} TARGET_DIRECTORY ${velumet_program}
                              PROPERTIES OBJECT_DEPENDS ${velumet_ico})
  add_dependencies(${velumet_program} velumet-icon)
endforeach()

install(TARGETS velumet-display velumet-measure RUNTIME DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
              $<TARGET_FILE:Qt6::SerialPort>
        DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

install(FILES ${VELUMET_MINGW_RUNTIME} DESTINATION .)
# CPack strips what we build (CPACK_STRIP_FILES); the DLLs come with symbols
# that no user needs, and most of their size in libstdc++'s case.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    file(GLOB dlls \"\${root}/*.dll\" \"\${root}/platforms/*.dll\" \"\${root}/styles/*.dll\")
    foreach(dll IN LISTS dlls)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

# Whoever passes the DLLs on passes their licences on: ours, Qt's (which
# build-qt.sh keeps beside Qt), and the MinGW runtime's as Debian ships them.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(DIRECTORY ${QT6_INSTALL_PREFIX}/licenses/ DESTINATION licenses PATTERN complete EXCLUDE)
install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright
        DESTINATION licenses/mingw-w64-runtime RENAME gcc-runtime.txt)
install(FILES /usr/share/doc/mingw-w64-x86-64-dev/copyright
        DESTINATION licenses/mingw-w64-runtime RENAME winpthreads.txt)
install(FILES /usr/share/common-licenses/GPL-3
        DESTINATION licenses/mingw-w64-runtime RENAME GPL-3.txt)

set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME velumet-display)
set(CPACK_PACKAGE_VENDOR "Velumet")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Shows a measurement from a measuring box on a serial port")
set(CPACK_PACKAGE_FILE_NAME ${VELUMET_PACKAGE_FILE_NAME})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Velumet Display")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Velumet Display")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Our own template: CMake's always asks for administrator rights, ours lets
# the user install for themselves alone or, as administrator, for everyone.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_NSIS_DISPLAY_NAME "Velumet Display")
set(CPACK_NSIS_PACKAGE_NAME "Velumet Display ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${velumet_ico})
set(CPACK_NSIS_MUI_UNIICON ${velumet_ico})
set(CPACK_NSIS_INSTALLED_ICON_NAME velumet-display.exe)
include(CPack)
