# 64-bit Windows: the same sources, for machines whose kernel cannot run 32-bit
# Wine (no IA32 emulation); scripts/test-windows.sh then tests this build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRIVEL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

find_program(BRIVEL_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(BRIVEL_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${BRIVEL_WINE64})
endif()
