# Cross toolchain: Windows through MinGW-w64 (posix thread model, static runtime), for the
# processor the preset names in CORVANTIS_MINGW_CPU: i686 (the 32-bit engine) or x86_64.
set(CORVANTIS_MINGW_CPU "i686" CACHE STRING "Windows processor: i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${CORVANTIS_MINGW_CPU})
set(CMAKE_C_COMPILER ${CORVANTIS_MINGW_CPU}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVANTIS_MINGW_CPU}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${CORVANTIS_MINGW_CPU}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${CORVANTIS_MINGW_CPU}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Windows test executables run under Wine through this wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
