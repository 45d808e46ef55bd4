# quiltor_add_form_resources(<target> <form files...>)
# Embeds each form file as an RCDATA resource named after its file (the form's class
# name, upper-cased as the resource compiler stores names), for LoadFormText.
function(quiltor_add_form_resources target)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_forms.rc)
  set(obj ${CMAKE_CURRENT_BINARY_DIR}/${target}_forms.o)
  set(lines "")
  set(deps "")
  foreach(form ${ARGN})
    get_filename_component(path ${form} ABSOLUTE)
    get_filename_component(name ${form} NAME_WE)
    string(TOUPPER ${name} name)
    string(APPEND lines "${name} RCDATA \"${path}\"\n")
    list(APPEND deps ${path})
  endforeach()
  file(GENERATE OUTPUT ${rc} CONTENT "${lines}")
  add_custom_command(OUTPUT ${obj}
                     COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${rc} -o ${obj}
                     DEPENDS ${rc} ${deps}
                     COMMENT "Embedding the form resources of ${target}")
  set_source_files_properties(${obj} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${obj})
endfunction()

# quiltor_add_rc_resources(<target> <.rc files...>)
# Compiles resource scripts (string tables) into the target itself: a resource object in
# a static library would be dropped by the linker, since nothing refers to it.
function(quiltor_add_rc_resources target)
  foreach(rc ${ARGN})
    get_filename_component(path ${rc} ABSOLUTE)
    get_filename_component(name ${rc} NAME_WE)
    set(obj ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}_rc.o)
    add_custom_command(OUTPUT ${obj}
                       COMMAND ${CMAKE_RC_COMPILER} -O coff -c 1252 -i ${path} -o ${obj}
                       DEPENDS ${path}
                       COMMENT "Compiling the resources ${name} of ${target}")
    set_source_files_properties(${obj} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
    target_sources(${target} PRIVATE ${obj})
  endforeach()
endfunction()
