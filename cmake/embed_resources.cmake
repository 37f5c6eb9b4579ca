# calvimora_embed_resources(<target> TYPE <type> FILES <files>...)
# Embeds files into <target> as resources of its module, registered at
# start-up under the type <type>: a number is one of the system's types
# (14 for icons), anything else a string type. A file whose name starts with digits
# ("201_frame_centre.png") gets that number as its id; any other file its
# name without the extension. The generated source is rebuilt when a file
# changes. Give it an executable or an object library: the registration
# lives in a static initialiser, which a static library's linker may drop.
set(CALVIMORA_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_resources_script.cmake)

function(calvimora_embed_resources target)
  cmake_parse_arguments(E "" "TYPE" "FILES" ${ARGN})
  if(NOT E_TYPE OR NOT E_FILES)
    message(FATAL_ERROR "calvimora_embed_resources: TYPE and FILES are required")
  endif()
  set(files)
  foreach(f ${E_FILES})
    get_filename_component(absolute ${f} ABSOLUTE)
    list(APPEND files ${absolute})
  endforeach()
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_${E_TYPE}_resources.cpp)
  # The list travels with "|" between its items: ";" would split the argument.
  string(REPLACE ";" "|" packed "${files}")
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${output} -DTYPE=${E_TYPE} -DFILES=${packed}
            -P ${CALVIMORA_EMBED_SCRIPT}
    DEPENDS ${files} ${CALVIMORA_EMBED_SCRIPT}
    COMMENT "Embedding ${E_TYPE} resources into ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
