# Writes the table of the exports the DLL must carry: every uncommented row of Quarn_API.def with its
# ordinal and, for a second name of one entry, the name it shares the entry with; and from the public
# header each export's calling convention and the kind of each argument, so that a probe call can be
# made with harmless values.
#   cmake -DDEF_FILE=... -DHEADER_FILE=... -DOUTPUT_FILE=... -P generate_export_table.cmake

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/QuarnDefRows.cmake)
quarn_read_def_rows("${DEF_FILE}" def)
file(READ "${HEADER_FILE}" header)

set(space "[ \t\r\n]")
set(identifier "[A-Za-z_][A-Za-z0-9_]*")
set(declarationPattern
    "QUARN_API${space}+[A-Za-z0-9_ \t\r\n*]*(QUARN_CALL|QUARN_CDECL)${space}+(${identifier})${space}*\\(([^();]*)\\)")
string(REGEX MATCHALL "${declarationPattern}" declarations "${header}")

# Argument kinds: h a port handle by value, p any pointer, i an integer.
foreach(declaration IN LISTS declarations)
  string(REGEX MATCH "${declarationPattern}" unused "${declaration}")
  set(convention "${CMAKE_MATCH_1}")
  set(name "${CMAKE_MATCH_2}")
  string(REGEX REPLACE "${space}+" " " arguments "${CMAKE_MATCH_3}")
  string(STRIP "${arguments}" arguments)
  set(kinds "")
  if(NOT arguments STREQUAL "" AND NOT arguments STREQUAL "void")
    string(REPLACE "," ";" argumentList "${arguments}")
    foreach(argument IN LISTS argumentList)
      string(STRIP "${argument}" argument)
      if(argument MATCHES "\\*")
        string(APPEND kinds "p")
      elseif(argument MATCHES "^(const )?PortHandle( |$)")
        string(APPEND kinds "h")
      else()
        string(APPEND kinds "i")
      endif()
    endforeach()
  endif()
  set(convention_${name} "${convention}")
  set(kinds_${name} "${kinds}")
endforeach()

set(rows "")
set(rowCount 0)
foreach(name IN LISTS def_NAMES)
  set(target "${def_ENTRY_${name}}")
  set(ordinal "${def_ORDINAL_${name}}")
  if(target STREQUAL "")
    set(sharedWith "nullptr")
  else()
    set(sharedWith "\"${target}\"")
  endif()
  if(NOT DEFINED convention_${name})
    set(convention "Convention::kUndeclared")
    set(kinds "nullptr")
  else()
    if(convention_${name} STREQUAL "QUARN_CDECL")
      set(convention "Convention::kCdecl")
    else()
      set(convention "Convention::kStdcall")
    endif()
    set(kinds "\"${kinds_${name}}\"")
  endif()
  string(APPEND rows "    {\"${name}\", ${ordinal}, ${sharedWith}, ${convention}, ${kinds}},\n")
  math(EXPR rowCount "${rowCount} + 1")
endforeach()

if(rowCount EQUAL 0)
  message(FATAL_ERROR "no export rows found in ${DEF_FILE}")
endif()

file(WRITE "${OUTPUT_FILE}"
  "// Generated from Quarn_API.def and quarn_api.h at build time; edit those, not this.\n"
  "inline constexpr DefExport kDefExports[] = {\n${rows}};\n")
