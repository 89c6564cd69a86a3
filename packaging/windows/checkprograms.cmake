# What Windows shows of the programs, read off the .exe files: the window is
# a GUI program (no console opens beside it) and velumet-measure a console
# one; each carries the icon and version information of this version.
#
# cmake -DOBJDUMP=... -DVERSION=... -DDISPLAY=... -DMEASURE=... -P checkprograms.cmake
set(failures)
foreach(program_subsystem IN ITEMS "${DISPLAY}|Windows GUI" "${MEASURE}|Windows CUI")
  string(REPLACE "|" ";" program_subsystem "${program_subsystem}")
  list(GET program_subsystem 0 program)
  list(GET program_subsystem 1 subsystem)
  cmake_path(GET program FILENAME name)
  execute_process(COMMAND ${OBJDUMP} -p ${program} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    list(APPEND failures "${OBJDUMP} cannot read ${name}")
    continue()
  endif()
  if(NOT headers MATCHES "Subsystem[ \t]+[0-9a-f]+[ \t]+\\(${subsystem}\\)")
    list(APPEND failures "${name} is no ${subsystem} program")
  endif()
  # Resource types 14 (an icon group) and 16 (version information), as
  # entries of the resource directory's first level.
  foreach(type IN ITEMS "00000e|an icon" "000010|version information")
    string(REPLACE "|" ";" type "${type}")
    list(GET type 0 id)
    list(GET type 1 what)
    if(NOT headers MATCHES "\n[0-9a-f]+   Entry: ID: 0x${id},")
      list(APPEND failures "${name} has no resource for ${what}")
    endif()
  endforeach()
  file(STRINGS ${program} strings ENCODING UTF-16LE REGEX "^(ProductVersion|${VERSION})$")
  if(NOT strings MATCHES "ProductVersion;${VERSION}")
    list(APPEND failures "${name} does not say it is version ${VERSION}")
  endif()
endforeach()
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The programs are not what Windows expects:\n  ${text}")
endif()
