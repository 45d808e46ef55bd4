# quiltor_add_shell_texts(<target>)
# Embeds the shell controls' texts (a string table) in a program or test that links them.
function(quiltor_add_shell_texts target)
  quiltor_add_rc_resources(${target} ${CMAKE_SOURCE_DIR}/shell_controls/shell_texts.rc)
endfunction()
