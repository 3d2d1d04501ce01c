# Type libraries compiled from IDL at build time by widl (Debian's
# mingw-w64-tools), in the compiled type library format LoadTypeLib reads.
#
# qorv_compile_idl(<out-var> <idl>)
#   Compiles <idl> into ${CMAKE_CURRENT_BINARY_DIR}/<name>.tlb and sets
#   <out-var> to that path. The library is built for Win32 (vtable slots of 4
#   bytes; the platform counts them in host slots), against the project's own
#   base declarations in platform/idl (no system IDL files are used), and an
#   importlib("stdole2.tlb") finds the platform's own stdole2.tlb.
#
# qorv_add_typelib(<target> <idl>)
#   Compiles <idl> and embeds the library into <target> as resource
#   "TYPELIB" 1, where LoadTypeLib on the target's path finds it.
find_program(QORV_WIDL NAMES i686-w64-mingw32-widl x86_64-w64-mingw32-widl widl REQUIRED)

# The folder of the base IDL files, and where stdole2.tlb is built (by
# platform/CMakeLists.txt) so that imports of it resolve.
function(qorv_typelib_paths)
  set(idl_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../platform/idl)
  cmake_path(NORMAL_PATH idl_dir)
  set(QORV_IDL_DIR ${idl_dir} PARENT_SCOPE)
  set(QORV_TYPELIB_DIR ${CMAKE_BINARY_DIR}/typelib PARENT_SCOPE)
  set(QORV_STDOLE2_TLB ${CMAKE_BINARY_DIR}/typelib/stdole2.tlb PARENT_SCOPE)
endfunction()

function(qorv_compile_idl out_var idl)
  qorv_typelib_paths()
  if(NOT IS_ABSOLUTE "${idl}")
    set(idl ${CMAKE_CURRENT_SOURCE_DIR}/${idl})
  endif()
  get_filename_component(name ${idl} NAME_WE)
  get_filename_component(idl_dir ${idl} DIRECTORY)
  if(name STREQUAL "stdole2")
    set(output ${QORV_STDOLE2_TLB})
    set(imports)
  else()
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${name}.tlb)
    set(imports ${QORV_STDOLE2_TLB})
  endif()
  file(GLOB base_idl ${QORV_IDL_DIR}/*.idl)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QORV_TYPELIB_DIR}
    COMMAND ${QORV_WIDL} --win32 --nostdinc -I ${idl_dir} -I ${QORV_IDL_DIR} -L ${QORV_TYPELIB_DIR} -t -o ${output}
            ${idl}
    DEPENDS ${idl} ${base_idl} ${imports}
    COMMENT "Compiling type library ${name}.tlb"
    VERBATIM)
  set(${out_var} ${output} PARENT_SCOPE)
endfunction()

function(qorv_add_typelib target idl)
  qorv_compile_idl(tlb ${idl})
  get_filename_component(name ${tlb} NAME_WE)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}_typelib.rc)
  file(WRITE ${script}.in "1 TYPELIB \"${tlb}\"\n")
  configure_file(${script}.in ${script} COPYONLY)
  qorv_add_resources(${target} ${script})
  if(TARGET qorv_stdole2)
    add_dependencies(${target} qorv_stdole2)
  endif()
endfunction()
