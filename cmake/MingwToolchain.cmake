# Shared part of the MinGW-w64 toolchain files; they set BRIVEL_MINGW_PREFIX first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix flavour has std::mutex and std::thread; GCC 12's win32 flavour lacks them.
find_program(CMAKE_C_COMPILER NAMES ${BRIVEL_MINGW_PREFIX}-gcc-posix ${BRIVEL_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${BRIVEL_MINGW_PREFIX}-g++-posix ${BRIVEL_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${BRIVEL_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The core alone: libgcc, libstdc++ and winpthread go into each binary, so the .exe
# and the DLLs we build need nothing beside them but Windows' own DLLs. With Qt,
# whose DLLs import the runtime's DLLs, the program uses those same DLLs.
if(BRIVEL_CORE_ONLY)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
  set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
  set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${BRIVEL_MINGW_PREFIX})
# A Qt for Windows named in CMAKE_PREFIX_PATH is searched like the MinGW sysroot.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
