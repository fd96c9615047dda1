# The connection layer built for Windows without Qt (included by CMakeLists.txt).
# Only the adapters named in BRIVEL_WINDOWS_ADAPTERS are compiled; opening one of
# the other kinds says that the kind is not available in this build.
set(BRIVEL_WINDOWS_ADAPTERS "${BRIVEL_DB_KINDS}" CACHE STRING
    "Adapter folders of src/db compiled for Windows (${BRIVEL_DB_KINDS})")
string(REPLACE ";" "|" _wanted "${BRIVEL_WINDOWS_ADAPTERS}")
set(_compiled_kinds ${BRIVEL_DB_KINDS})
list(FILTER _compiled_kinds INCLUDE REGEX "^(${_wanted})$")

# ODBC's headers come with MinGW (SQL_API is __stdcall there); Oracle's are our own
# OciApi.h. The other three vendors' public headers are Debian's (libpq-dev,
# libmariadb-dev, firebird-dev), which already carry the Windows conventions
# (ISC_EXPORT and STDCALL are __stdcall under _WIN32). The kinds' folders copy
# them into the build folder (brivel_windows_client_headers) so that no Linux
# system header can be picked up instead of MinGW's.
set(BRIVEL_CLIENT_HEADERS_ROOT "/usr/include" CACHE PATH
    "Where Debian's libpq-dev, libmariadb-dev and firebird-dev put their headers")
set(BRIVEL_CLIENT_HEADERS_DIR ${CMAKE_CURRENT_BINARY_DIR}/client-headers CACHE INTERNAL
    "Client headers of the Windows build")

# brivel_windows_client_headers(<include folder> <files under BRIVEL_CLIENT_HEADERS_ROOT>...)
function(brivel_windows_client_headers include_folder)
  foreach(_file ${ARGN})
    if(NOT EXISTS ${BRIVEL_CLIENT_HEADERS_ROOT}/${_file})
      message(FATAL_ERROR "${BRIVEL_CLIENT_HEADERS_ROOT}/${_file} is missing: the Windows build takes the client "
                          "headers from Debian's libpq-dev, libmariadb-dev and firebird-dev "
                          "(scripts/install-windows-deps.sh installs them).")
    endif()
    get_filename_component(_dir ${BRIVEL_CLIENT_HEADERS_DIR}/${_file} DIRECTORY)
    file(COPY ${BRIVEL_CLIENT_HEADERS_ROOT}/${_file} DESTINATION ${_dir})
  endforeach()
  target_include_directories(brivel_db PRIVATE ${BRIVEL_CLIENT_HEADERS_DIR}/${include_folder})
endfunction()

# shutdown() of a connection's socket, to cut a connection whose server stopped answering.
target_link_libraries(brivel_db PUBLIC ws2_32)
