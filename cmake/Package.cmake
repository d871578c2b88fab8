# The Debian package of the Linux program: `cpack` in a build folder (release) writes
# tolvar-update_<version>_<arch>.deb with what `cmake --install` puts in place: the program,
# the desktop entry and icon (app/), and here the files Debian's rules ask for.
include(GNUInstallDirs)

# The release the package, its changelog, manual page and AppStream data name.
set(TOLVAR_RELEASE_DATE 2026-12-09)
set(TOLVAR_APPSTREAM_ID example.zefra.tolvar_update)

set(package_dir ${CMAKE_BINARY_DIR}/package)
configure_file(${PROJECT_SOURCE_DIR}/resources/changelog.in ${package_dir}/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/tolvar-update.1.in ${package_dir}/tolvar-update.1
               @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/tolvar-update.metainfo.xml.in
               ${package_dir}/${TOLVAR_APPSTREAM_ID}.metainfo.xml @ONLY)
# Compressed as Debian wants them: best compression, no name or time stamp inside.
set(compressed)
foreach(file changelog tolvar-update.1)
  add_custom_command(
    OUTPUT ${package_dir}/${file}.gz
    COMMAND gzip -9nkf ${package_dir}/${file}
    DEPENDS ${package_dir}/${file}
    VERBATIM)
  list(APPEND compressed ${package_dir}/${file}.gz)
endforeach()
add_custom_target(tolvar_package_files ALL DEPENDS ${compressed})

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tolvar-update)
install(FILES ${PROJECT_SOURCE_DIR}/resources/copyright DESTINATION ${doc_dir})
# A package whose version has no Debian revision is native: its changelog is changelog.gz.
install(FILES ${package_dir}/changelog.gz DESTINATION ${doc_dir})
install(FILES ${package_dir}/tolvar-update.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${package_dir}/${TOLVAR_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvar-update)
# The firmware the package delivers, not the program's own version information.
set(CPACK_PACKAGE_VERSION ${TOLVAR_FIRMWARE_VERSION})
set(CPACK_PACKAGE_VENDOR "ZEFRA")
set(CPACK_PACKAGE_CONTACT "ZEFRA service <serwis@zefra.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "firmware update wizard for TOLVAR controllers over RS232")
set(CPACK_PACKAGE_DESCRIPTION
    "A seven-page wizard with which a service technician updates the firmware of a
TOLVAR controller to version ${TOLVAR_FIRMWARE_VERSION}. The firmware travels inside the
program. The technician connects the controller to a serial port, puts it into
update mode as the pages describe, picks the port, confirms, and the program
sends the image record by record and shows the result.

Serial ports are opened as the user; the user must be allowed to open them,
usually as a member of the group dialout.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.zefra.example)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Runtime dependencies from the shared libraries the executable links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
