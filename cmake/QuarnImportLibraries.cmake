# Windows: after each link of Quarn_API.dll, replaces the linker's import library by one that maps the
# decorated names callers compile to the DLL's undecorated ones, and makes Quarn_API.lib for the MSVC
# linker when llvm-dlltool is there (make_import_libraries.cmake tells why).
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(QUARN_DLLTOOL_MACHINE "i386:x86-64")
else()
  set(QUARN_DLLTOOL_MACHINE "i386")
endif()
find_program(QUARN_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14)
if(NOT QUARN_LLVM_DLLTOOL)
  message(STATUS "llvm-dlltool not found: no Quarn_API.lib for the MSVC linker")
endif()

set(QUARN_OBJECT_LIST ${PROJECT_BINARY_DIR}/quarn_core_objects.txt)
file(GENERATE OUTPUT ${QUARN_OBJECT_LIST} CONTENT "$<JOIN:$<TARGET_OBJECTS:quarn_core>,\n>\n")
set(QUARN_MSVC_IMPORT_LIBRARY ${PROJECT_BINARY_DIR}/Quarn_API.lib)
add_custom_command(TARGET Quarn_API POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DDEF_FILE=${PROJECT_SOURCE_DIR}/src/exports/Quarn_API.def
          -DOBJECT_LIST=${QUARN_OBJECT_LIST} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
          -DLLVM_DLLTOOL=${QUARN_LLVM_DLLTOOL} -DMACHINE=${QUARN_DLLTOOL_MACHINE}
          -DDLL_NAME=$<TARGET_FILE_NAME:Quarn_API> -DDECORATED_DEF=${PROJECT_BINARY_DIR}/Quarn_API.decorated.def
          -DMINGW_IMPORT_LIBRARY=$<TARGET_LINKER_FILE:Quarn_API> -DMSVC_IMPORT_LIBRARY=${QUARN_MSVC_IMPORT_LIBRARY}
          -P ${PROJECT_SOURCE_DIR}/cmake/make_import_libraries.cmake
  COMMENT "Import libraries of Quarn_API.dll with the callers' decorated names"
  VERBATIM)
