# The rows of Quarn_API.def, for the scripts that generate from it. quarn_read_def_rows(DEF_FILE PREFIX)
# sets PREFIX_NAMES, the exported names in the .def's order, and for each name PREFIX_ENTRY_<name>, the
# entry a second name shares ("UhfReaderConnect = UhfOpenPort"; empty for a name of its own), and
# PREFIX_ORDINAL_<name>. Comment lines and the header lines are no rows.
function(quarn_read_def_rows defFile prefix)
  set(identifier "[A-Za-z_][A-Za-z0-9_]*")
  file(STRINGS "${defFile}" defLines)
  set(names "")
  foreach(line IN LISTS defLines)
    if(line MATCHES "^[ \t]+(${identifier})([ \t]*=[ \t]*(${identifier}))?[ \t]+@([0-9]+)")
      list(APPEND names "${CMAKE_MATCH_1}")
      set(${prefix}_ENTRY_${CMAKE_MATCH_1} "${CMAKE_MATCH_3}" PARENT_SCOPE)
      set(${prefix}_ORDINAL_${CMAKE_MATCH_1} "${CMAKE_MATCH_4}" PARENT_SCOPE)
    endif()
  endforeach()
  set(${prefix}_NAMES "${names}" PARENT_SCOPE)
endfunction()
