# The Debian package, built by `cpack` (scripts/package.sh runs it from a build configured for /usr).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Corvale maintainers <maintainers@corvale.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up files into archives, then shut down")
set(CPACK_PACKAGE_DESCRIPTION
"Corvale backs up folders chosen in named profiles into ZIP or 7z archives
(with volumes and passwords) and then ends the working day: it shuts the
computer down, restarts it, logs the user off or locks the session, after a
30-second count-down that can be cancelled.

It sits in the notification area, warns when a profile's backup is overdue,
can send e-mails about it, and tells plug-ins about each run. The program
corvale-cli runs the same profiles from a terminal or a timer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Folders 0755 whatever the umask of the person building.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Shared libraries as dpkg-shlibdeps finds them. 7-Zip's library is loaded at run time, so it is named:
# the 7z writer takes 7-Zip 23.01 or later (the stock 16.02 library has another object layout), which
# Debian 12 ships as p7zip-full 16.02+really26.x through its security updates.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's Wayland platform plug-in is a package of its own that the libraries do not pull in: without
# it the program silently runs through XWayland on GNOME and Plasma, where a second start cannot
# bring the window forward with an activation token and the shells see an X11 window instead of the
# app id "corvale".
set(CPACK_DEBIAN_PACKAGE_DEPENDS "p7zip-full (>= 16.02+really23.01), qt6-wayland")
# xdg-open shows documents, links and folders.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# Stock GNOME shows no notification-area icons without this extension.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
