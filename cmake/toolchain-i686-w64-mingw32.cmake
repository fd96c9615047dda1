# 32-bit Windows, the program's platform, with Debian's MinGW-w64 cross compiler:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DBRIVEL_CORE_ONLY=ON
#         -DBRIVEL_SQLITE_SOURCE_DIR=<SQLite source>      (scripts/test-windows.sh does all this)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BRIVEL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

find_program(BRIVEL_WINE NAMES wine)
if(BRIVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${BRIVEL_WINE})
endif()
