# The MinGW runtime DLLs every program of ours needs beside it on Windows,
# found where the compiler keeps them: VELUMET_MINGW_RUNTIME (the files) and
# VELUMET_MINGW_RUNTIME_DIRS (their folders, for running tests under Wine).
set(VELUMET_MINGW_RUNTIME)
set(VELUMET_MINGW_RUNTIME_DIRS)
foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} knows no ${dll}")
  endif()
  file(REAL_PATH "${path}" path)
  list(APPEND VELUMET_MINGW_RUNTIME ${path})
  cmake_path(GET path PARENT_PATH dir)
  list(APPEND VELUMET_MINGW_RUNTIME_DIRS ${dir})
endforeach()
list(REMOVE_DUPLICATES VELUMET_MINGW_RUNTIME_DIRS)
