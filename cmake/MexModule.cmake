# add_mex_module(NAME SOURCE [CONTRACTED] [OUTPUT_NAME name]
#                [OUTPUT_DIRECTORY dir] [KERNELS file]
#                [COMPILE_OPTIONS ...])
#
# Builds one module as MATLAB loads it, from one source file:
#   64-bit Linux    NAME.mexa64, a shared object exporting mexFunction alone
#                   in version node MEX, needing libmx, libmex and libmat
#   64-bit Windows  NAME.mexw64, a DLL exporting mexFunction at ordinal 1,
#                   importing from libmx.dll and libmex.dll
#   32-bit Windows  NAME.mexw32, likewise
#   macOS           NAME, a bundle exporting _mexFunction, linked against
#                   libmx, libmex and libmat in SDPK_MATLAB_LIBDIR
# (and NAME.mexglx, for the 32-bit Linux test build). On Linux it links
# against the stand-in libmx, libmex and libmat; on Windows against import
# libraries made from the .def files in release/. CONTRACTED leaves out the
# project's -ffp-contract=off, so that a test can show that the source
# alone keeps products and sums apart. KERNELS builds the module with the
# kernels of that file in place of its own (SDPK_KERNELS), for comparison.
set(SDPK_RELEASE_DIR ${CMAKE_CURRENT_LIST_DIR}/../release)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SDPK_MEX_SUFFIX .mexw64)
    set(mx_def ${SDPK_RELEASE_DIR}/libmx730.def)
  else()
    set(SDPK_MEX_SUFFIX .mexw32)
    set(mx_def ${SDPK_RELEASE_DIR}/libmx700.def)
  endif()
  if(NOT CMAKE_DLLTOOL)
    find_program(CMAKE_DLLTOOL NAMES ${CMAKE_CXX_COMPILER_TARGET}-dlltool dlltool REQUIRED)
  endif()
  set(imports ${CMAKE_BINARY_DIR}/imports)
  file(MAKE_DIRECTORY ${imports})
  add_custom_command(OUTPUT ${imports}/libmx.dll.a ${imports}/libmex.dll.a
    COMMAND ${CMAKE_DLLTOOL} -d ${mx_def} -l ${imports}/libmx.dll.a
    COMMAND ${CMAKE_DLLTOOL} -d ${SDPK_RELEASE_DIR}/libmex.def -l ${imports}/libmex.dll.a
    DEPENDS ${mx_def} ${SDPK_RELEASE_DIR}/libmex.def
    COMMENT "Import libraries for libmx.dll and libmex.dll")
  add_custom_target(sdpk_imports DEPENDS ${imports}/libmx.dll.a ${imports}/libmex.dll.a)
  add_library(sdpk_host_libs INTERFACE)
  target_link_libraries(sdpk_host_libs INTERFACE
    ${imports}/libmx.dll.a ${imports}/libmex.dll.a)
  target_link_options(sdpk_host_libs INTERFACE -static)
elseif(APPLE)
  set(SDPK_MEX_SUFFIX "")
  set(SDPK_MATLAB_LIBDIR "" CACHE PATH "MATLAB's libmx, libmex and libmat")
  add_library(sdpk_host_libs INTERFACE)
  target_link_libraries(sdpk_host_libs INTERFACE
    ${SDPK_MATLAB_LIBDIR}/libmx.dylib ${SDPK_MATLAB_LIBDIR}/libmex.dylib
    ${SDPK_MATLAB_LIBDIR}/libmat.dylib)
  target_link_options(sdpk_host_libs INTERFACE
    -Wl,-exported_symbol,_mexFunction -Wl,-undefined,error)
else()
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SDPK_MEX_SUFFIX .mexa64)
  else()
    set(SDPK_MEX_SUFFIX .mexglx)
  endif()
  add_library(sdpk_host_libs INTERFACE)
  target_link_libraries(sdpk_host_libs INTERFACE
    -Wl,--no-as-needed mx mex mat -Wl,--as-needed)
  target_link_options(sdpk_host_libs INTERFACE
    -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/module.map)
endif()

function(add_mex_module name source)
  cmake_parse_arguments(ARG "CONTRACTED" "OUTPUT_NAME;OUTPUT_DIRECTORY;KERNELS"
    "COMPILE_OPTIONS" ${ARGN})
  add_library(${name} MODULE ${source})
  target_link_libraries(${name} PRIVATE mexhost sdpk_flags sdpk_host_libs)
  if(NOT ARG_CONTRACTED)
    target_link_libraries(${name} PRIVATE sdpk_no_contract)
  endif()
  target_compile_options(${name} PRIVATE ${ARG_COMPILE_OPTIONS})
  if(ARG_KERNELS)
    target_compile_definitions(${name} PRIVATE SDPK_KERNELS="${ARG_KERNELS}")
    set_property(SOURCE ${source} TARGET_DIRECTORY ${name} APPEND PROPERTY
      OBJECT_DEPENDS ${ARG_KERNELS})
  endif()
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME ${name})
  endif()
  set_target_properties(${name} PROPERTIES
    PREFIX "" SUFFIX "${SDPK_MEX_SUFFIX}" OUTPUT_NAME ${ARG_OUTPUT_NAME}
    CXX_VISIBILITY_PRESET hidden)
  if(ARG_OUTPUT_DIRECTORY)
    set_target_properties(${name} PROPERTIES
      LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY})
  endif()
  if(WIN32)
    target_sources(${name} PRIVATE ${SDPK_RELEASE_DIR}/module.def)
    add_dependencies(${name} sdpk_imports)
  elseif(NOT APPLE)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS
      ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/module.map)
  endif()
endfunction()
