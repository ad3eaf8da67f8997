# Debian packages through CPack: `cpack -G DEB` in a build configured by
# scripts/package.sh (prefix /usr, no install run path) makes
#   libzymwindows1     the shared libraries, the helpers, the PAM service file
#   libzymwindows-dev  headers, the CMake package, the pkg-config file
#   zymwin             the command-line tool
# from the install components library, development and zymwin.
set(ZYM_DEB_DIR ${PROJECT_SOURCE_DIR}/packaging/deb)
set(ZYM_DEB_LIBRARY_PACKAGE libzymwindows${PROJECT_VERSION_MAJOR})

# Debian wants a copyright file and a compressed changelog in each package's
# doc folder and a compressed manual page for each program. The doc files
# are only for the packages: a plain `cmake --install` leaves them out.
file(STRINGS ${ZYM_DEB_DIR}/changelog ZYM_DEB_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT ZYM_DEB_CHANGELOG_TOP MATCHES "^zymwindows \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/deb/changelog starts with '${ZYM_DEB_CHANGELOG_TOP}': "
        "its newest entry must be version ${PROJECT_VERSION}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${ZYM_DEB_DIR}/changelog ${ZYM_DEB_DIR}/zymwin.1)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
foreach(page changelog zymwin.1)
    execute_process(COMMAND gzip -9nc ${ZYM_DEB_DIR}/${page}
        OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/${page}.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/packaging/zymwin.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT zymwin)
set(ZYM_DEB_COMPONENTS library development zymwin)
set(ZYM_DEB_PACKAGES ${ZYM_DEB_LIBRARY_PACKAGE} libzymwindows-dev zymwin)
foreach(component package IN ZIP_LISTS ZYM_DEB_COMPONENTS ZYM_DEB_PACKAGES)
    install(FILES ${ZYM_DEB_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
        COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zymwindows)
set(CPACK_PACKAGE_CONTACT "ZymWindows maintainers <maintainers@users.noreply.c-seed-a17e438b.example>")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${ZYM_DEB_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The PAM service file goes to /etc/pam.d whatever the prefix: staging the
# install under DESTDIR keeps it inside the package.
set(CPACK_SET_DESTDIR ON)

# Dependencies come from the binaries; the project's own libraries are
# found in the build tree and stand for the library package, which the
# other two depend on at exactly this version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_LIBDIR} ${PROJECT_BINARY_DIR}/framework)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
set(CPACK_COMPONENT_ZYMWIN_DEPENDS library)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${ZYM_DEB_LIBRARY_PACKAGE})
# libpam is loaded at the first logon rather than linked, so no binary
# names it; the service file includes the common-* stacks of
# libpam-runtime and calls pam_unix from libpam-modules.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS "libpam0g, libpam-modules, libpam-runtime")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
    ${ZYM_DEB_DIR}/postinst ${ZYM_DEB_DIR}/postrm ${ZYM_DEB_DIR}/triggers ${ZYM_DEB_DIR}/conffiles)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "Windows-platform services for Zym framework programs
ZymWindows brings Windows-platform services to programs built on the Zym
class framework: named-pipe messaging, compound documents and property
sets, a registry, service hosting under systemd, directory observation,
domain and account queries, crash reports and core files, the event log, a
log window and UUIDs.
.
This package holds the shared libraries, their helper programs, the PAM
service of logon impersonation and the machine-wide registry folder.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzymwindows-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Windows-platform services for Zym framework programs - development files
ZymWindows brings Windows-platform services to programs built on the Zym
class framework.
.
This package holds the headers of the library and of the framework, the
CMake package (find_package(ZymWindows)) and the pkg-config file
(zymwindows).")

set(CPACK_DEBIAN_ZYMWIN_PACKAGE_NAME zymwin)
set(CPACK_DEBIAN_ZYMWIN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_ZYMWIN_DESCRIPTION "command-line front end of the ZymWindows library
zymwin drives each service of the ZymWindows library from the command line:
named pipes, compound documents, the registry (in the arguments of the
Windows reg command), services, directory observation, account queries,
crash reports, the event log, the log window and UUIDs. `zymwin demo` shows
them all.")

set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/packaging/ZymCPackOptions.cmake)
configure_file(${PROJECT_SOURCE_DIR}/cmake/ZymCPackOptions.cmake.in ${CPACK_PROJECT_CONFIG_FILE} @ONLY)
include(CPack)
