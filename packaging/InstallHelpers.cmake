# Install-time helpers (run from cmake_install.cmake), so that links and
# generated files follow the prefix really used: cmake --install --prefix,
# DESTDIR, CPack's staging folder.

# The program's folder without a trailing slash ("" when the prefix is "/").
string(REGEX REPLACE "/+$" "" BRIVEL_FOLDER "${CMAKE_INSTALL_PREFIX}")

function(brivel_install_prepare path out)
  set(dest "$ENV{DESTDIR}${path}")
  get_filename_component(dir "${dest}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  message(STATUS "Installing: ${dest}")
  set(CMAKE_INSTALL_MANIFEST_FILES ${CMAKE_INSTALL_MANIFEST_FILES} "${path}" PARENT_SCOPE)
  set(${out} "${dest}" PARENT_SCOPE)
endfunction()

function(brivel_install_symlink link target)
  brivel_install_prepare("${link}" dest)
  file(CREATE_LINK "${target}" "${dest}" SYMBOLIC)
  set(CMAKE_INSTALL_MANIFEST_FILES ${CMAKE_INSTALL_MANIFEST_FILES} PARENT_SCOPE)
endfunction()

# @VAR@ substitution; GZIP compresses with -n, so that the package does not
# change with the build's clock.
function(brivel_install_configured source path)
  cmake_parse_arguments(A "GZIP" "" "" ${ARGN})
  brivel_install_prepare("${path}" dest)
  set(BRIVEL_EXECUTABLE "${BRIVEL_FOLDER}/SetupBrivelDB")
  # Exec= of a desktop entry quotes a path with reserved characters.
  set(BRIVEL_DESKTOP_EXEC "${BRIVEL_EXECUTABLE}")
  if(source MATCHES "\\.desktop\\.in$")
    if(BRIVEL_EXECUTABLE MATCHES "[\"`$\\\\]")
      message(FATAL_ERROR "A menu entry cannot start ${BRIVEL_EXECUTABLE}: choose a prefix without quotes, $ or \\")
    elseif(BRIVEL_EXECUTABLE MATCHES "[] \t'<>~|&;*?#()[]")
      set(BRIVEL_DESKTOP_EXEC "\"${BRIVEL_EXECUTABLE}\"")
    endif()
  endif()
  if(A_GZIP)
    configure_file("${source}" "${dest}.plain" @ONLY NO_SOURCE_PERMISSIONS)
    execute_process(COMMAND gzip -9n -c "${dest}.plain" OUTPUT_FILE "${dest}" RESULT_VARIABLE rc)
    file(REMOVE "${dest}.plain")
    if(rc)
      message(FATAL_ERROR "gzip failed on ${dest}")
    endif()
    file(CHMOD "${dest}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  else()
    configure_file("${source}" "${dest}" @ONLY NO_SOURCE_PERMISSIONS)
  endif()
  set(CMAKE_INSTALL_MANIFEST_FILES ${CMAKE_INSTALL_MANIFEST_FILES} PARENT_SCOPE)
endfunction()
