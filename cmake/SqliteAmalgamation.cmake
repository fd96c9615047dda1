# Finds or makes SQLite's amalgamation (sqlite3.c, sqlite3.h) for the Windows build.
#
# BRIVEL_SQLITE_SOURCE_DIR is either a folder that already holds sqlite3.c and
# sqlite3.h, or SQLite's full source tree (Debian's source package, as
# scripts/test-windows.sh unpacks it), from which the amalgamation is made once at
# configure time with the host's compiler and tclsh.
# Sets BRIVEL_SQLITE_AMALGAMATION_DIR.
# Included by src/db and tests/windows: the second inclusion finds the amalgamation made.

set(BRIVEL_SQLITE_SOURCE_DIR "" CACHE PATH "SQLite's source tree or amalgamation, for sqlite3.dll")
if(NOT BRIVEL_SQLITE_SOURCE_DIR)
  message(FATAL_ERROR "The Windows build needs SQLite's source: -DBRIVEL_SQLITE_SOURCE_DIR=<folder> "
                      "(scripts/test-windows.sh unpacks Debian's).")
endif()

if(EXISTS "${BRIVEL_SQLITE_SOURCE_DIR}/sqlite3.c" AND EXISTS "${BRIVEL_SQLITE_SOURCE_DIR}/sqlite3.h")
  set(BRIVEL_SQLITE_AMALGAMATION_DIR "${BRIVEL_SQLITE_SOURCE_DIR}")
elseif(EXISTS "${BRIVEL_SQLITE_SOURCE_DIR}/tool/mksqlite3c.tcl")
  set(BRIVEL_SQLITE_AMALGAMATION_DIR "${CMAKE_BINARY_DIR}/sqlite-amalgamation")
  if(NOT EXISTS "${BRIVEL_SQLITE_AMALGAMATION_DIR}/sqlite3.c")
    message(STATUS "Making SQLite's amalgamation from ${BRIVEL_SQLITE_SOURCE_DIR}")
    file(MAKE_DIRECTORY "${BRIVEL_SQLITE_AMALGAMATION_DIR}")
    # The generators (lemon, mkkeywordhash) run here, so they are built for the host, not for Windows.
    set(_host_env ${CMAKE_COMMAND} -E env --unset=CC --unset=CFLAGS --unset=CPPFLAGS --unset=LDFLAGS)
    execute_process(
      COMMAND ${_host_env} sh "${BRIVEL_SQLITE_SOURCE_DIR}/configure" --disable-tcl
      WORKING_DIRECTORY "${BRIVEL_SQLITE_AMALGAMATION_DIR}"
      OUTPUT_FILE configure.log ERROR_FILE configure.log
      RESULT_VARIABLE _rc)
    if(_rc EQUAL 0)
      execute_process(
        COMMAND ${_host_env} make sqlite3.c
        WORKING_DIRECTORY "${BRIVEL_SQLITE_AMALGAMATION_DIR}"
        OUTPUT_FILE make.log ERROR_FILE make.log
        RESULT_VARIABLE _rc)
    endif()
    if(NOT _rc EQUAL 0 OR NOT EXISTS "${BRIVEL_SQLITE_AMALGAMATION_DIR}/sqlite3.c")
      file(REMOVE "${BRIVEL_SQLITE_AMALGAMATION_DIR}/sqlite3.c")
      message(FATAL_ERROR "Making SQLite's amalgamation failed: see ${BRIVEL_SQLITE_AMALGAMATION_DIR}/*.log "
                          "(it needs gcc, make and tclsh on this machine).")
    endif()
  endif()
else()
  message(FATAL_ERROR "${BRIVEL_SQLITE_SOURCE_DIR} holds neither sqlite3.c nor SQLite's source tree.")
endif()
