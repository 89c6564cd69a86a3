# The Windows build's tests, run from Linux under Wine: CTest starts each
# test program through CMAKE_CROSSCOMPILING_EMULATOR (tests/windows/wine.sh),
# in a Wine prefix of the tests' own. The tests that talk to a serial port use
# the Linux velumet-box of a native build, VELUMET_NATIVE_BUILD_DIR, on a
# pseudo-terminal that Wine shows as a COM port.
set(VELUMET_WINE_ROOT "" CACHE PATH
    "Debian 13 root with Wine 10 (tests/windows/wine-root.sh); empty: the system's Wine")
set(VELUMET_NATIVE_BUILD_DIR "" CACHE PATH
    "A native build of this project, for velumet-box and the pseudo-terminal shim")

set(wine_sh ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine.sh)
set(wine_prefix ${CMAKE_CURRENT_BINARY_DIR}/wineprefix)
string(JOIN : wine_dlls ${QT6_INSTALL_PREFIX}/bin ${VELUMET_MINGW_RUNTIME_DIRS})
string(JOIN : wine_share ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR} ${QT6_INSTALL_PREFIX}
       ${VELUMET_NATIVE_BUILD_DIR})
# Every test program runs in the one prefix, on Qt's Windows platform (on
# Xvfb), finds Qt's DLLs where Qt for Windows was built (and Qt its plugins
# beside them), and says nothing of Wine's own doings.
set(velumet_test_environment
  WINEPREFIX=${wine_prefix}
  WINEDEBUG=-all
  VELUMET_WINE_ROOT=${VELUMET_WINE_ROOT}
  VELUMET_WINE_DLLS=${wine_dlls}
  VELUMET_WINE_SHARE=${wine_share})

set(native_box ${VELUMET_NATIVE_BUILD_DIR}/tools/box/velumet-box)
set(pty_shim ${VELUMET_NATIVE_BUILD_DIR}/tests/windows/libvelumet_ptymodem.so)

# Registers the tests that exist on Windows alone, and makes every test of
# this directory wait for the prefix.
function(velumet_add_wine_tests)
  add_test(NAME wine_prefix COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/wineprefix.sh ${wine_sh})
  set_tests_properties(wine_prefix PROPERTIES
    ENVIRONMENT "${velumet_test_environment}" FIXTURES_SETUP wine_prefix TIMEOUT 300)

  set(serial_environment ${velumet_test_environment} VELUMET_WINE_PRELOAD=${pty_shim})
  # Sends console events as Windows does, and closes a console as Windows
  # would; Wine leaves that out.
  add_executable(velumet_consoleevent windows/consoleevent.cpp)
  set_target_properties(velumet_consoleevent PROPERTIES AUTOMOC OFF)
  # velumet-measure.exe on the simulated box, in every format, through a
  # line that dies mid-series, and stopped from its console.
  add_test(NAME wine_measure
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/measure.sh ${wine_sh} ${native_box}
                   $<TARGET_FILE:velumet-measure> $<TARGET_FILE:velumet_consoleevent>)
  set_tests_properties(wine_measure PROPERTIES ENVIRONMENT "${serial_environment}" TIMEOUT 300)

  # The record file as Windows opens it.
  velumet_add_test(tst_winerecordfile windows/tst_winerecordfile.cpp)

  # The window on Wine's X11 driver under Xvfb, driven in-process.
  add_executable(tst_winewindow windows/tst_winewindow.cpp filedialoganswerer.h form1access.h
                                messageboxanswerer.h)
  target_link_libraries(tst_winewindow PRIVATE velumet_ui Qt6::Test)
  target_include_directories(tst_winewindow PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  add_test(NAME tst_winewindow
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/withbox.sh ${native_box}
                   ${wine_sh} $<TARGET_FILE:tst_winewindow>)
  set_tests_properties(tst_winewindow PROPERTIES ENVIRONMENT "${serial_environment}" TIMEOUT 300)

  # The packages as a user gets them: the zip unpacked and run with nothing
  # else, the installer in both modes and its uninstaller.
  set(package ${PROJECT_BINARY_DIR}/${VELUMET_PACKAGE_FILE_NAME})
  add_test(NAME wine_zip
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/zip.sh ${wine_sh} ${package}.zip
                   ${PROJECT_VERSION})
  add_test(NAME wine_installer
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/installer.sh ${wine_sh} ${package}.exe
                   ${PROJECT_VERSION})
  # No search path: whatever the programs need must come in the package.
  set(package_environment WINEPREFIX=${wine_prefix} WINEDEBUG=-all
      VELUMET_WINE_ROOT=${VELUMET_WINE_ROOT} VELUMET_WINE_SHARE=${wine_share})
  set_tests_properties(wine_zip wine_installer PROPERTIES
    ENVIRONMENT "${package_environment}" TIMEOUT 300)

  # What Explorer shows of the programs, read off the files themselves.
  add_test(NAME windows_program_resources
           COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DVERSION=${PROJECT_VERSION}
                   -DDISPLAY=$<TARGET_FILE:velumet-display> -DMEASURE=$<TARGET_FILE:velumet-measure>
                   -P ${PROJECT_SOURCE_DIR}/packaging/windows/checkprograms.cmake)

  if(NOT EXISTS ${native_box} OR NOT EXISTS ${pty_shim})
    message(WARNING "VELUMET_NATIVE_BUILD_DIR has no velumet-box and pseudo-terminal shim: "
                    "wine_measure and tst_winewindow are disabled")
    set_tests_properties(wine_measure tst_winewindow PROPERTIES DISABLED TRUE)
  endif()

  get_property(tests DIRECTORY PROPERTY TESTS)
  list(REMOVE_ITEM tests wine_prefix windows_program_resources)
  set_tests_properties(${tests} PROPERTIES FIXTURES_REQUIRED wine_prefix)
endfunction()
