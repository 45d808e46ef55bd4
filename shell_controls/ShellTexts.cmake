# quiltor_add_shell_texts(<target>)
# Embeds the shell controls' texts (a string table) and the form of their file dialog in
# a program or test that links them.
function(quiltor_add_shell_texts target)
  quiltor_add_rc_resources(${target} ${CMAKE_SOURCE_DIR}/shell_controls/shell_texts.rc)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_shell_forms.rc)
  set(obj ${CMAKE_CURRENT_BINARY_DIR}/${target}_shell_forms.o)
  set(form ${CMAKE_SOURCE_DIR}/shell_controls/forms/TQsFrmOpenDlg.form)
  file(GENERATE OUTPUT ${rc} CONTENT "TQSFRMOPENDLG RCDATA \"${form}\"\n")
  add_custom_command(OUTPUT ${obj}
                     COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${rc} -o ${obj}
                     DEPENDS ${rc} ${form}
                     COMMENT "Embedding the shell controls' forms in ${target}")
  set_source_files_properties(${obj} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${obj})
endfunction()
