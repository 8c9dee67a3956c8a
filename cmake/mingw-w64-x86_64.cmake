# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers. The posix
# variants carry std::thread and std::mutex; the win32 ones do not.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CFCKIT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CFCKIT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CFCKIT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${CFCKIT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CFCKIT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the programs run on a plain Windows (or Wine) without the
# MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# ctest and the test discovery run the .exe files through Wine.
find_program(CFCKIT_WINE NAMES wine64 wine)
if(CFCKIT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CFCKIT_WINE})
endif()
