# Makes the two import libraries of Quarn_API.dll: the mingw one (libQuarn_API.dll.a) and the one the
# MSVC linker reads (Quarn_API.lib). The DLL exports undecorated names, but a 32-bit caller compiled with
# the header refers to a stdcall export as _UhfGetPower@12; the linker's own import library lists only
# _UhfGetPower, so the caller would link only through ld's guessing and not at all with an MSVC linker.
# The decorated names are taken from the symbols the compiler gave the library's own definitions (they
# come from the same header), written to a decorated .def, and both tools strip the decoration again
# (-k) for the name the loader looks up. On 64-bit Windows nothing is decorated and the same steps give
# plain import libraries.
#   cmake -DDEF_FILE=... -DOBJECT_LIST=... -DNM=... -DDLLTOOL=... [-DLLVM_DLLTOOL=...] -DMACHINE=i386|i386:x86-64
#         -DDLL_NAME=Quarn_API.dll -DDECORATED_DEF=... -DMINGW_IMPORT_LIBRARY=... -DMSVC_IMPORT_LIBRARY=...
#         -P make_import_libraries.cmake

cmake_minimum_required(VERSION 3.20)

set(identifier "[A-Za-z_][A-Za-z0-9_]*")

file(STRINGS "${OBJECT_LIST}" objects)
execute_process(COMMAND "${NM}" --defined-only ${objects} OUTPUT_VARIABLE symbolText RESULT_VARIABLE nmStatus)
if(NOT nmStatus EQUAL 0)
  message(FATAL_ERROR "${NM} could not list the symbols of the library's objects")
endif()
# "00000030 T _UhfGetPower@12" gives decoration_UhfGetPower = "@12"; a cdecl or 64-bit name gets "".
# Only 32-bit C names carry the leading underscore.
set(prefix "")
if(MACHINE STREQUAL "i386")
  set(prefix "_")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ T ${prefix}${identifier}(@[0-9]+)?" definitions "${symbolText}")
foreach(definition IN LISTS definitions)
  string(REGEX MATCH "T ${prefix}(${identifier})(@[0-9]+)?$" unused "${definition}")
  set(decoration_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()

# A second name of one entry ("UhfReaderConnect = UhfOpenPort") is its own row in an import library,
# with the decoration of the entry it shares: the DLL carries both names.
include(${CMAKE_CURRENT_LIST_DIR}/QuarnDefRows.cmake)
quarn_read_def_rows("${DEF_FILE}" def)
set(rows "")
foreach(name IN LISTS def_NAMES)
  set(entry "${def_ENTRY_${name}}")
  if(entry STREQUAL "")
    set(entry "${name}")
  endif()
  if(NOT DEFINED decoration_${entry})
    message(FATAL_ERROR "no definition of ${entry} among the library's objects")
  endif()
  string(APPEND rows "    ${name}${decoration_${entry}} @${def_ORDINAL_${name}}\n")
endforeach()
file(WRITE "${DECORATED_DEF}" "LIBRARY ${DLL_NAME}\nEXPORTS\n${rows}")

function(RunTool)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}")
  endif()
endfunction()

file(REMOVE "${MINGW_IMPORT_LIBRARY}")
RunTool("${DLLTOOL}" -m "${MACHINE}" -k -d "${DECORATED_DEF}" -D "${DLL_NAME}" -l "${MINGW_IMPORT_LIBRARY}")
if(LLVM_DLLTOOL)
  file(REMOVE "${MSVC_IMPORT_LIBRARY}")
  RunTool("${LLVM_DLLTOOL}" -m "${MACHINE}" -k -d "${DECORATED_DEF}" -D "${DLL_NAME}" -l "${MSVC_IMPORT_LIBRARY}")
endif()
