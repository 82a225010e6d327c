# tavelin_add_version_resource(TARGET name DESCRIPTION text
#                              [ICON generated.ico ICON_TARGET target])
#
# Gives a Windows program or DLL a VERSIONINFO resource: file and product
# version from the project's version (PROJECT_VERSION, padded to four
# numbers), TAVELIN_PRODUCT_NAME, TAVELIN_COMPANY_NAME, the description and
# the target's file name as the original file name. With ICON, the icon
# becomes the program's icon (group 1, the one Explorer shows); ICON_TARGET
# is the target that generates it.
set(TAVELIN_PRODUCT_NAME "Tavelin" CACHE INTERNAL "product name in the version resources")
set(TAVELIN_COMPANY_NAME "The Tavelin developers" CACHE INTERNAL "company name in the version resources")

function(tavelin_add_version_resource)
  cmake_parse_arguments(VR "" "TARGET;DESCRIPTION;ICON;ICON_TARGET" "" ${ARGN})
  set(numbers "")
  foreach(part MAJOR MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
      list(APPEND numbers 0)
    else()
      list(APPEND numbers ${PROJECT_VERSION_${part}})
    endif()
  endforeach()
  list(JOIN numbers "," VR_NUMBERS)
  list(JOIN numbers "." VR_TEXT)
  get_target_property(type ${VR_TARGET} TYPE)
  get_target_property(output_name ${VR_TARGET} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${VR_TARGET})
  endif()
  set(VR_INTERNAL_NAME ${output_name})
  if(type STREQUAL "EXECUTABLE")
    set(VR_FILE_TYPE VFT_APP)
    set(VR_ORIGINAL_NAME ${output_name}.exe)
  else()
    set(VR_FILE_TYPE VFT_DLL)
    set(VR_ORIGINAL_NAME ${output_name}.dll)
  endif()
  set(VR_EXTRA_LINES "")
  if(VR_ICON)
    set(VR_EXTRA_LINES "1 ICON \"${VR_ICON}\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/generated/${VR_TARGET}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version_resource.rc.in ${rc} @ONLY)
  target_sources(${VR_TARGET} PRIVATE ${rc})
  if(VR_ICON)
    # The resource compiler reads the icon: rebuild when it changes.
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${VR_ICON})
    add_dependencies(${VR_TARGET} ${VR_ICON_TARGET})
  endif()
endfunction()
