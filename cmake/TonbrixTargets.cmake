# tonbrix_app_target(TARGET [OUTPUT_NAME name])
# Puts an executable or shared library into the program folder under the file
# name the program looks for ("evc.exe", "Res.dll", ...), whatever the platform.
function(tonbrix_app_target target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "" ${ARGN})
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${TONBRIX_APP_DIR}"
    LIBRARY_OUTPUT_DIRECTORY "${TONBRIX_APP_DIR}")
  if(ARG_OUTPUT_NAME)
    get_filename_component(base "${ARG_OUTPUT_NAME}" NAME_WLE)
    get_filename_component(ext "${ARG_OUTPUT_NAME}" LAST_EXT)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME "${base}" PREFIX "" SUFFIX "${ext}")
  endif()
endfunction()
