# velumet_add_manpage(TARGET program INCLUDE file.h2m)
#
# The program's manual page in section 1: help2man writes it at build time
# from the program's --help and --version, adding the sections of the
# INCLUDE file (relative to the source root) that it cannot know, such as
# FILES and EXIT STATUS. The page is compressed as Debian wants it (gzip -9n,
# no name or time stamp inside) and installed under share/man/man1.
include(GNUInstallDirs)
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(NOT HELP2MAN OR NOT GZIP)
  message(WARNING "help2man or gzip not found: the programs get no manual pages")
endif()

function(velumet_add_manpage)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;INCLUDE" "")
  if(NOT arg_TARGET OR NOT arg_INCLUDE OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "usage: velumet_add_manpage(TARGET program INCLUDE file.h2m)")
  endif()
  if(NOT HELP2MAN OR NOT GZIP)
    return()
  endif()
  cmake_path(ABSOLUTE_PATH arg_INCLUDE BASE_DIRECTORY ${PROJECT_SOURCE_DIR})
  set(dir ${PROJECT_BINARY_DIR}/man)
  set(page ${dir}/${arg_TARGET}.1)
  # The window's --help needs no screen with the offscreen platform. In a
  # sanitized build the program runs here as a build tool, not as a test:
  # its leak report belongs to CTest's runs, which suppress the system
  # libraries' caches.
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            ${HELP2MAN} --no-info --include=${arg_INCLUDE} --output=${page}
            $<TARGET_FILE:${arg_TARGET}>
    COMMAND ${GZIP} -9nf ${page}
    DEPENDS ${arg_TARGET} ${arg_INCLUDE}
    COMMENT "Writing the manual page ${arg_TARGET}.1"
    VERBATIM)
  add_custom_target(${arg_TARGET}-manpage ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
