# qorv_add_resources(<target> <script>)
#
# Embeds the files a resource script lists into <target>'s module, so that
# FindResourceA with that module's handle finds them. Script lines are
# `<NAME> <TYPE> <file>` (see tools/rescomp/ResourceScript.h); a relative file
# is taken from the script's folder, an absolute one may lie in the build tree
# (a file another custom command generates: the dependency is added, so that
# command runs first when it is in the same directory).
#
# The generated source registers its table when the module loads. For a
# static library the object is linked straight into every module that links
# the library (a static initialiser alone would be dropped by the linker), so
# the resources belong to the program or shared library that contains the
# library's code: the same module that code's ModuleFromAddress names.
set(QORV_RESOURCE_HEADER ${CMAKE_CURRENT_LIST_DIR}/../platform/include/resource.h)
cmake_path(NORMAL_PATH QORV_RESOURCE_HEADER)

function(qorv_add_resources target script)
  if(NOT IS_ABSOLUTE "${script}")
    set(script ${CMAKE_CURRENT_SOURCE_DIR}/${script})
  endif()
  get_filename_component(script_dir ${script} DIRECTORY)
  get_filename_component(script_name ${script} NAME_WE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})

  # The same reading of the script as rescomp's, for the file dependencies.
  file(STRINGS ${script} lines)
  set(files)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    if(NOT line MATCHES "^[^ \t]+[ \t]+[^ \t]+[ \t]+(.+)$")
      message(FATAL_ERROR "${script}: bad resource line: ${line}")
    endif()
    string(STRIP "${CMAKE_MATCH_1}" file)
    string(REGEX REPLACE "^\"(.*)\"$" "\\1" file "${file}")
    if(NOT IS_ABSOLUTE "${file}")
      set(file ${script_dir}/${file})
    endif()
    list(APPEND files ${file})
  endforeach()

  string(MD5 script_hash ${script})
  string(SUBSTRING ${script_hash} 0 8 script_hash)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_${script_name}_${script_hash}_resources.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND rescomp ${script} ${output} ${QORV_RESOURCE_HEADER}
    DEPENDS rescomp ${script} ${files} ${QORV_RESOURCE_HEADER}
    COMMENT "Embedding resources of ${script_name} into ${target}"
    VERBATIM)

  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "OBJECT_LIBRARY")
    set(objects ${target}_${script_name}_${script_hash}_resources)
    add_library(${objects} OBJECT ${output})
    target_link_libraries(${target} INTERFACE $<TARGET_OBJECTS:${objects}>)
    add_dependencies(${target} ${objects})
  else()
    target_sources(${target} PRIVATE ${output})
  endif()
endfunction()
