# Install rules and the CMake and pkg-config packages, so that another program
# (the device's web server) can find and link dabutils without our build files.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(DABUTILS_LIB_DIR genlib/dabUtils)
set(DABUTILS_INCLUDE_INSTALL_DIR ${CMAKE_INSTALL_INCLUDEDIR}/dabutils)
set(DABUTILS_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/dabutils)

# Programs find the libraries next to them once installed.
set_target_properties(dabtool PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

install(TARGETS dabutils dabplatform EXPORT dabutilsTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS dabtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The public headers and the platform contract that a real platform must
# satisfy (the public headers include part of it) side by side in one include
# directory; the stand-in's control API alone in standin/ below it. The
# stand-in's other headers are its own business and stay in the source tree.
install(DIRECTORY ${DABUTILS_LIB_DIR}/include/
        DESTINATION ${DABUTILS_INCLUDE_INSTALL_DIR}
        FILES_MATCHING PATTERN "*.h")
install(FILES ${DABUTILS_LIB_DIR}/platform/contact_db.h
              ${DABUTILS_LIB_DIR}/platform/path_service.h
              ${DABUTILS_LIB_DIR}/platform/logging.h
              ${DABUTILS_LIB_DIR}/platform/audit_log.h
              ${DABUTILS_LIB_DIR}/platform/utf8_text.h
              ${DABUTILS_LIB_DIR}/platform/record_layout.h
        DESTINATION ${DABUTILS_INCLUDE_INSTALL_DIR})
install(FILES ${DABUTILS_LIB_DIR}/platform/standin/dabplatform.h
        DESTINATION ${DABUTILS_INCLUDE_INSTALL_DIR}/standin)

install(EXPORT dabutilsTargets NAMESPACE dabutils:: DESTINATION ${DABUTILS_CMAKE_INSTALL_DIR})
configure_package_config_file(cmake/dabutilsConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/dabutilsConfig.cmake
  INSTALL_DESTINATION ${DABUTILS_CMAKE_INSTALL_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/dabutilsConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dabutilsConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/dabutilsConfigVersion.cmake
        DESTINATION ${DABUTILS_CMAKE_INSTALL_DIR})

# The .pc files locate the prefix from their own place, so an installed tree
# can be moved.
file(RELATIVE_PATH DABUTILS_PC_TO_PREFIX "/p/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/p")
foreach(pc dabutils dabutils-standin)
  configure_file(cmake/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
