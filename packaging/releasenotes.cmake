# cmake -DVERSION=x.y.z -DMETAINFO=... -DDEBIAN_CHANGELOG=... -DCHANGELOG=...
#   -P releasenotes.cmake
#
# Fails unless the newest release in the AppStream file, the Debian changelog
# and CHANGELOG.md is VERSION: a version raised in CMake alone would ship a
# package whose notes describe the release before.

function(newest_release file regex out)
  file(STRINGS ${file} lines REGEX "${regex}")
  if(lines)
    list(GET lines 0 line)
    string(REGEX MATCH "${regex}" _ "${line}")
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    set(${out} "none" PARENT_SCOPE)
  endif()
endfunction()

newest_release(${METAINFO} "<release version=\"([^\"]+)\"" metainfo)
newest_release(${DEBIAN_CHANGELOG} "^velumet-display \\(([^)]+)\\)" debian)
newest_release(${CHANGELOG} "^## \\[([0-9][^]]*)\\]" changelog)

set(wrong)
foreach(pair IN ITEMS "${METAINFO}=${metainfo}" "${DEBIAN_CHANGELOG}=${debian}"
                      "${CHANGELOG}=${changelog}")
  string(REGEX REPLACE "=[^=]*$" "" file "${pair}")
  string(REGEX REPLACE "^.*=" "" found "${pair}")
  if(NOT found STREQUAL VERSION)
    list(APPEND wrong "${file}: newest release is ${found}, the project is ${VERSION}")
  endif()
endforeach()
if(wrong)
  list(JOIN wrong "\n" text)
  message(FATAL_ERROR "${text}")
endif()
