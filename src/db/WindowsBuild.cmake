# The connection layer built for Windows without Qt (included by CMakeLists.txt).
# Only the adapters named in BRIVEL_WINDOWS_ADAPTERS are compiled; the factories
# of the others say that the kind is not available in this build.
set(BRIVEL_WINDOWS_ADAPTERS "mysql;firebird;oracle;sqlserver;sqlite;postgresql" CACHE STRING
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

# ODBC's headers come with MinGW (SQL_API is __stdcall there); Oracle's are our own
# OciApi.h. The other three vendors' public headers are Debian's (libpq-dev,
# libmariadb-dev, firebird-dev), which already carry the Windows conventions
# (ISC_EXPORT and STDCALL are __stdcall under _WIN32). They are copied into the
# build folder so that no Linux system header can be picked up instead of
# MinGW's; only libpq's pg_config_ext.h is Linux-specific and is written anew.
set(BRIVEL_CLIENT_HEADERS_ROOT "/usr/include" CACHE PATH
    "Where Debian's libpq-dev, libmariadb-dev and firebird-dev put their headers")
set(_headers ${CMAKE_CURRENT_BINARY_DIR}/client-headers)
set(_needed)
if("postgresql" IN_LIST BRIVEL_WINDOWS_ADAPTERS)
  list(APPEND _needed postgresql/libpq-fe.h postgresql/postgres_ext.h)
  # Debian's names "long int" as the 64-bit type; on Windows long has 32 bits.
  file(WRITE ${_headers}/postgresql/pg_config_ext.h.new "#define PG_INT64_TYPE long long int\n")
  file(COPY_FILE ${_headers}/postgresql/pg_config_ext.h.new ${_headers}/postgresql/pg_config_ext.h ONLY_IF_DIFFERENT)
  target_include_directories(brivel_db PRIVATE ${_headers}/postgresql)
endif()
if("mysql" IN_LIST BRIVEL_WINDOWS_ADAPTERS)
  list(APPEND _needed mariadb/mysql.h mariadb/mariadb_com.h mariadb/mariadb_version.h mariadb/ma_list.h
       mariadb/mariadb_ctype.h mariadb/mariadb_stmt.h)
  target_include_directories(brivel_db PRIVATE ${_headers}/mariadb)
endif()
if("firebird" IN_LIST BRIVEL_WINDOWS_ADAPTERS)
  list(APPEND _needed ibase.h)
  target_include_directories(brivel_db PRIVATE ${_headers})
endif()
foreach(_file ${_needed})
  if(NOT EXISTS ${BRIVEL_CLIENT_HEADERS_ROOT}/${_file})
    message(FATAL_ERROR "${BRIVEL_CLIENT_HEADERS_ROOT}/${_file} is missing: the Windows build takes the client "
                        "headers from Debian's libpq-dev, libmariadb-dev and firebird-dev "
                        "(scripts/install-windows-deps.sh installs them).")
  endif()
  get_filename_component(_dir ${_headers}/${_file} DIRECTORY)
  file(COPY ${BRIVEL_CLIENT_HEADERS_ROOT}/${_file} DESTINATION ${_dir})
endforeach()
set(BRIVEL_CLIENT_HEADERS_DIR ${_headers} CACHE INTERNAL "Client headers of the Windows build")
