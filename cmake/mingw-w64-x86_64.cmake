# Cross-building pagrimo.exe for 64-bit Windows with Debian's mingw-w64.
# The -posix compilers are used: their threads carry std::mutex, which
# GoogleTest needs. Tests run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PAGRIMO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PAGRIMO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PAGRIMO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PAGRIMO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PAGRIMO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(PAGRIMO_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PAGRIMO_WINE})

# -O2 rather than -O3 for release builds: at -O3 this GCC (12) reports false
# -Wrestrict warnings inside std::string concatenation, which -Werror stops.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Release flags")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Release flags")
