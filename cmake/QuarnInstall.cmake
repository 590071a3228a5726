# What `cmake --install` puts down: the header, the library (with its SONAME links on Linux; the DLL,
# both import libraries and the .def on Windows), the C++ API (its headers under include/quarn/ and
# libquarn_cpp: shared with its SONAME links on Linux, static on Windows), a CMake package giving
# Quarn_API::Quarn_API and Quarn_API::quarn_cpp, a pkg-config file for each library, and the programs
# quarn and quarn-sim where they are built. Tests stay out.
include(CMakePackageConfigHelpers)

set(QUARN_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quarn_API)

install(TARGETS Quarn_API EXPORT Quarn_APITargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/quarn_api.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET quarn_cpp)
  install(TARGETS quarn_cpp EXPORT Quarn_APITargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quarn DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    FILES_MATCHING PATTERN "*.h")
endif()
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/src/exports/Quarn_API.def DESTINATION ${CMAKE_INSTALL_LIBDIR})
  if(QUARN_LLVM_DLLTOOL)
    install(FILES ${QUARN_MSVC_IMPORT_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endif()

install(EXPORT Quarn_APITargets NAMESPACE Quarn_API:: DESTINATION ${QUARN_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/Quarn_APIConfig.cmake.in
  ${PROJECT_BINARY_DIR}/Quarn_APIConfig.cmake INSTALL_DESTINATION ${QUARN_PACKAGE_DIR})
# Before 1.0 a new minor version may change the interface.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(QUARN_COMPATIBILITY SameMinorVersion)
else()
  set(QUARN_COMPATIBILITY SameMajorVersion)
endif()
write_basic_package_version_file(${PROJECT_BINARY_DIR}/Quarn_APIConfigVersion.cmake
  COMPATIBILITY ${QUARN_COMPATIBILITY})
install(FILES ${PROJECT_BINARY_DIR}/Quarn_APIConfig.cmake ${PROJECT_BINARY_DIR}/Quarn_APIConfigVersion.cmake
  DESTINATION ${QUARN_PACKAGE_DIR})

# The pkg-config files are written at install time, because `cmake --install --prefix` may name another
# prefix than the one configured.
set(QUARN_PC_NAMES quarn_api)
if(TARGET quarn_cpp)
  list(APPEND QUARN_PC_NAMES quarn_cpp)
endif()
foreach(pcName IN LISTS QUARN_PC_NAMES)
  set(QUARN_PC_FILE ${PROJECT_BINARY_DIR}/${pcName}.pc)
  install(CODE "set(QUARN_PC_TEMPLATE [[${PROJECT_SOURCE_DIR}/cmake/${pcName}.pc.in]])
    set(QUARN_PC_FILE [[${QUARN_PC_FILE}]])
    set(QUARN_VERSION [[${PROJECT_VERSION}]])
    set(QUARN_LIBDIR [[${CMAKE_INSTALL_LIBDIR}]])
    set(QUARN_INCLUDEDIR [[${CMAKE_INSTALL_INCLUDEDIR}]])")
  install(CODE [[
    foreach(dir QUARN_LIBDIR QUARN_INCLUDEDIR)
      if(NOT IS_ABSOLUTE "${${dir}}")
        set(${dir} "\${prefix}/${${dir}}")
      endif()
    endforeach()
    set(QUARN_PREFIX "${CMAKE_INSTALL_PREFIX}")
    configure_file("${QUARN_PC_TEMPLATE}" "${QUARN_PC_FILE}" @ONLY)
  ]])
  install(FILES ${QUARN_PC_FILE} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

if(TARGET quarn-sim)
  install(TARGETS quarn-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET quarn)
  # The tool finds the library in the installed tree, wherever that tree is put.
  file(RELATIVE_PATH QUARN_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set_target_properties(quarn PROPERTIES INSTALL_RPATH "$ORIGIN/${QUARN_BIN_TO_LIB}")
  install(TARGETS quarn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
