# Read by cpack once per generator: the .deb carries the folder in /opt/brivel
# and the system's side; the .tar.gz is the folder alone.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL app integration deb)
  # The system's side has absolute destinations (/usr/...): staged with DESTDIR.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_INSTALL_PREFIX /opt/brivel)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_COMPONENTS_ALL app)
  set(CPACK_SET_DESTDIR OFF)
  # Unpacked, it is a folder of its own.
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
endif()
