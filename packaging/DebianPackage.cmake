# CPack's Debian package of the installation above. The package is named after what the user
# installs and runs: the zorvik command, its desktop entry, its helper and its group.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvik)
set(CPACK_PACKAGE_VENDOR "The Halvern developers")
set(CPACK_PACKAGE_CONTACT "Halvern developers <packages@halvern.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "popup blocker and ad stopper for the desktop")
set(CPACK_PACKAGE_DESCRIPTION
    "Zorvik sits in the system tray and keeps advertising out of your browsing.
It writes the names of known ad servers into /etc/hosts, each pointing at
127.0.0.1, and answers the browser's requests for them on 127.0.0.1:80 with
harmless placeholders. It closes popup windows whose title holds a text from
its list, and ends listed spyware programs after asking once per program.
.
Zorvik runs as the user; a small helper, started on demand by systemd, writes
/etc/hosts and binds port 80 for the members of the zorvik group.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://halvern.org")
set(CPACK_PACKAGE_INSTALL_DIRECTORY zorvik)

# The package installs under /usr, and the install rules see that prefix (the helper's units
# name the helper's real path).
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; Qt's window system plugin and the tool that makes the
# group at installation are not linked, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, qt6-qpa-plugins")
# Opening files and pages, the default browser, the "No" press in error boxes, the sounds, and
# the browser zorvik-browser protects.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "xdg-utils, at-spi2-core, alsa-utils | pulseaudio-utils, chromium")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
