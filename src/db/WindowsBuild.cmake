# The connection layer built for Windows without Qt (included by CMakeLists.txt).
# Only the adapters named in BRIVEL_WINDOWS_ADAPTERS are compiled: the others need
# client headers that the MinGW toolchain lacks, and their factories then say
# that the kind is not available in this build.
set(BRIVEL_WINDOWS_ADAPTERS "sqlite" CACHE STRING
    "Adapter folders of src/db compiled for Windows (mysql;firebird;oracle;sqlserver;sqlite;postgresql)")

get_target_property(_brivel_db_sources brivel_db SOURCES)
foreach(_kind mysql firebird oracle sqlserver sqlite postgresql)
  if(NOT _kind IN_LIST BRIVEL_WINDOWS_ADAPTERS)
    list(FILTER _brivel_db_sources EXCLUDE REGEX "^${_kind}/")
    string(TOUPPER "${_kind}" _upper)
    target_compile_definitions(brivel_db PRIVATE BRIVEL_WITHOUT_${_upper})
  endif()
endforeach()
set_property(TARGET brivel_db PROPERTY SOURCES ${_brivel_db_sources} UnavailableAdapters.cpp)

if("sqlite" IN_LIST BRIVEL_WINDOWS_ADAPTERS)
  # sqlite3.h comes with the amalgamation that tests/windows turns into sqlite3.dll.
  include(${PROJECT_SOURCE_DIR}/cmake/SqliteAmalgamation.cmake)
  target_include_directories(brivel_db PRIVATE ${BRIVEL_SQLITE_AMALGAMATION_DIR})
endif()
