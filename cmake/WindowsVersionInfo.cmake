# Version information for the Windows binaries, from the project's version:
# what Explorer's Details tab and installers read. Each .exe and .dll gets a
# resource script of its own, generated into the build tree.
#   cfckit_version_resource(TARGET "File description" [VERSION x.y.z])
# VERSION is the file's own version where it has one (cfc.dll follows the
# library's); the product version is always the kit's.
set(CFCKIT_VERSION_RC_IN ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

function(cfckit_version_resource target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "VERSION" "")
  if(NOT arg_VERSION)
    set(arg_VERSION ${PROJECT_VERSION})
  endif()
  # Four numbers, as the resource's binary fields take them.
  string(REPLACE "." ";" file_parts "${arg_VERSION}.0.0.0")
  list(SUBLIST file_parts 0 4 file_parts)
  list(JOIN file_parts "," RC_FILE_VERSION_BINARY)
  string(REPLACE "." ";" product_parts "${PROJECT_VERSION}.0.0.0")
  list(SUBLIST product_parts 0 4 product_parts)
  list(JOIN product_parts "," RC_PRODUCT_VERSION_BINARY)
  set(RC_FILE_VERSION ${arg_VERSION})
  set(RC_PRODUCT_VERSION ${PROJECT_VERSION})
  set(RC_DESCRIPTION "${description}")

  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(RC_FILE_TYPE VFT_APP)
    set(RC_ORIGINAL_NAME ${name}.exe)
  else()
    set(RC_FILE_TYPE VFT_DLL)
    set(RC_ORIGINAL_NAME ${name}.dll)
  endif()
  set(RC_INTERNAL_NAME ${name})

  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CFCKIT_VERSION_RC_IN} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
