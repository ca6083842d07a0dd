# add_mex_module(NAME SOURCE [CONTRACTED] [OUTPUT_NAME name]
#                [OUTPUT_DIRECTORY dir] [COMPILE_OPTIONS ...])
#
# Builds one module as the hosts load it: a shared library that exports
# mexFunction alone (version node MEX on Linux), linked against the
# stand-in libmx and libmex. CONTRACTED leaves out the project's
# -ffp-contract=off, so that a test can show that the source alone keeps
# products and sums apart.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SDPK_MEX_SUFFIX .mexa64)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(SDPK_MEX_SUFFIX .mexglx)
else()
  set(SDPK_MEX_SUFFIX ${CMAKE_SHARED_MODULE_SUFFIX})
endif()
set(SDPK_MODULE_MAP ${CMAKE_CURRENT_LIST_DIR}/module.map)

function(add_mex_module name source)
  cmake_parse_arguments(ARG "CONTRACTED" "OUTPUT_NAME;OUTPUT_DIRECTORY"
    "COMPILE_OPTIONS" ${ARGN})
  add_library(${name} MODULE ${source})
  target_link_libraries(${name} PRIVATE mexhost mx mex sdpk_flags)
  if(NOT ARG_CONTRACTED)
    target_link_libraries(${name} PRIVATE sdpk_no_contract)
  endif()
  if(ARG_OUTPUT_DIRECTORY)
    set_target_properties(${name} PROPERTIES
      LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY})
  endif()
  target_compile_options(${name} PRIVATE ${ARG_COMPILE_OPTIONS})
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME ${name})
  endif()
  set_target_properties(${name} PROPERTIES
    PREFIX "" SUFFIX ${SDPK_MEX_SUFFIX} OUTPUT_NAME ${ARG_OUTPUT_NAME}
    CXX_VISIBILITY_PRESET hidden)
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    target_link_options(${name} PRIVATE -Wl,--version-script=${SDPK_MODULE_MAP})
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${SDPK_MODULE_MAP})
  endif()
endfunction()
