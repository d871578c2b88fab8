# The Debian package of the Linux program: `cpack` in a build folder (release) writes
# tolvar-update_<version>_<arch>.deb with what `cmake --install` puts in place.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvar-update)
# The firmware the package delivers, not the program's own version information.
set(CPACK_PACKAGE_VERSION 1.6.0)
set(CPACK_PACKAGE_VENDOR "ZEFRA")
set(CPACK_PACKAGE_CONTACT "ZEFRA service <serwis@zefra.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Firmware update wizard for TOLVAR controllers (firmware 1.6.0) over RS232")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Runtime dependencies from the shared libraries the executable links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
