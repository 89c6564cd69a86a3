# Cross-compiling for 64-bit Windows with Debian's MinGW-w64. The -posix
# compilers are the ones with std::thread and std::mutex, which Qt needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELUMET_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELUMET_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELUMET_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELUMET_MINGW_TRIPLE}-windres)

# Libraries and headers only from the MinGW sysroot (and whatever prefixes
# the caller appends, such as Qt for Windows), never the host's; programs
# such as moc come from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VELUMET_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
