# Writes the wrappers that arm the allocation counter around every export the public header declares:
# for each `QUARN_API <result> QUARN_CALL|QUARN_CDECL <name>(<arguments>)`, a __wrap_<name> with the same
# signature that counts the call and forwards to __real_<name>. Linked with --wrap=<name>, every call
# the test makes into the library passes through one, so the counter is armed exactly while library
# code runs. Sets namesVar to the names found.
function(quarn_write_armed_exports header outputFile namesVar)
  file(READ "${header}" text)
  set(space "[ \t\r\n]")
  set(identifier "[A-Za-z_][A-Za-z0-9_]*")
  set(pattern
      "QUARN_API${space}+([A-Za-z0-9_ \t\r\n*]*)(QUARN_CALL|QUARN_CDECL)${space}+(${identifier})${space}*\\(([^();]*)\\)")
  string(REGEX MATCHALL "${pattern}" declarations "${text}")

  set(names "")
  set(nameRows "")
  set(wrappers "")
  set(index 0)
  foreach(declaration IN LISTS declarations)
    string(REGEX MATCH "${pattern}" unused "${declaration}")
    string(STRIP "${CMAKE_MATCH_1}" result)
    set(convention "${CMAKE_MATCH_2}")
    set(name "${CMAKE_MATCH_3}")
    string(REGEX REPLACE "${space}+" " " parameters "${CMAKE_MATCH_4}")
    string(STRIP "${parameters}" parameters)
    # The argument names, to forward: the last identifier of each parameter.
    set(arguments "")
    string(REPLACE "," ";" parameterList "${parameters}")
    foreach(parameter IN LISTS parameterList)
      string(REGEX MATCH "(${identifier})${space}*$" argument "${parameter}")
      string(STRIP "${argument}" argument)
      list(APPEND arguments "${argument}")
    endforeach()
    list(JOIN arguments ", " arguments)

    list(APPEND names "${name}")
    string(APPEND nameRows "    \"${name}\",\n")
    string(APPEND wrappers
      "${result} ${convention} __real_${name}(${parameters});\n"
      "${result} ${convention} __wrap_${name}(${parameters}) {\n"
      "  const quarn::allocation::ArmedExport armed(${index});\n"
      "  return __real_${name}(${arguments});\n"
      "}\n\n")
    math(EXPR index "${index} + 1")
  endforeach()
  if(index EQUAL 0)
    message(FATAL_ERROR "no exports declared in ${header}")
  endif()

  string(CONCAT content
    "// Generated from quarn_api.h when the build is configured; edit the header, not this.\n"
    "#include \"armed_exports.h\"\n\n"
    "namespace quarn::allocation {\n\n"
    "const char* const kArmedExportNames[] = {\n${nameRows}};\n"
    "const size_t kArmedExportCount = ${index};\n\n"
    "}  // namespace quarn::allocation\n\n"
    "extern \"C\" {\n\n${wrappers}}  // extern \"C\"\n")
  # Written only when it changes, so that configuring again rebuilds nothing.
  file(GENERATE OUTPUT "${outputFile}" CONTENT "${content}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${header}")
  set(${namesVar} "${names}" PARENT_SCOPE)
endfunction()
