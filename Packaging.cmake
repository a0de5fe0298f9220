# The Debian package: `cpack -G DEB` in a build directory makes
# brenlow_<version>_<arch>.deb from the install rules. Its library
# dependencies are read from the installed programs.

# The project's maintainers' role address, not a person's.
set(BRENLOW_PACKAGE_MAINTAINER "Brenlow maintainers <brenlow-maint@station.example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brenlow)
set(CPACK_PACKAGE_VENDOR "Brenlow developers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator panel for the ion chambers of a beamline station")
set(CPACK_PACKAGE_DESCRIPTION
    "Brenlow shows the CA5350 current amplifiers and the high-voltage supply\n"
    "modules of an experimental station's ion chambers in one window and lets\n"
    "the operator set ranges, filters, current suppression, bias, voltages and\n"
    "ramp rates. It talks to the devices through the station's Tesra message\n"
    "server over TCP.\n"
    "\n"
    "The package also holds tesra-sim, a stand-in for the message server and\n"
    "its devices on the loopback interface, and an example station.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BRENLOW_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Plugins that no library of the program names, so that the dependencies
# read from the programs miss them: the SQLite driver of Qt SQL, which the
# history archive opens, and Qt 6's platform plugins (the X11 and Wayland
# connections).
if(BRENLOW_QT_MAJOR EQUAL 6)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt5sql5-sqlite)
endif()
# The Japanese interface needs a font with Japanese glyphs; an archive on a
# PostgreSQL server ("History Database") needs Qt SQL's driver for it.
if(BRENLOW_QT_MAJOR EQUAL 6)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, libqt6sql6-psql")
else()
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, libqt5sql5-psql")
endif()
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
