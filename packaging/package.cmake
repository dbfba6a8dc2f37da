# The Debian package (scripts/package): the five programs, the monitor's desktop entry, icon and
# menu starter, the collector's nightly service and the web view's (installed, not enabled) with
# the example meter list, and the libraries they need declared as dependencies.
include(GNUInstallDirs)

set(KASTARI_VERSION 0.1.0)
# Where the package puts everything; the desktop entry names its starter by this absolute path.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(KASTARI_START ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/kastari-monitor/start)
# Installing only copies what was built: the package test must never start a build of its own.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS kastari-monitor kastari-sim kastari-cli kastari-collect kastari-web RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${CMAKE_CURRENT_LIST_DIR}/kastari-monitor-start
        DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kastari-monitor RENAME start)
configure_file(${CMAKE_CURRENT_LIST_DIR}/kastari-monitor.desktop.in ${CMAKE_BINARY_DIR}/kastari-monitor.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kastari-monitor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/kastari-monitor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The units go where packages put theirs; nothing enables them: the site fills in its meter list first.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/kastari-collect.service ${CMAKE_CURRENT_LIST_DIR}/kastari-collect.timer
              ${CMAKE_CURRENT_LIST_DIR}/kastari-web.service
        DESTINATION lib/systemd/system)
# The meter list is the site's own: a conffile, so an upgrade never overwrites what was written in it.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/meters DESTINATION /etc/kastari)
file(WRITE ${CMAKE_BINARY_DIR}/debian-control/conffiles "/etc/kastari/meters\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian-control/conffiles)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kastari-monitor)
set(CPACK_PACKAGE_VERSION ${KASTARI_VERSION})
set(CPACK_PACKAGE_VENDOR "kastari-monitor developers")
set(CPACK_PACKAGE_CONTACT "kastari-monitor developers <kastari-monitor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor and configure a two-channel ultrasonic flow meter over ModBus RTU")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "kastari-monitor reads and edits the meter's parameters, shows its measurements, reads its\narchives and journals and logs every exchange on the line; kastari-sim simulates meters on a\npseudo-terminal and kastari-cli sends requests from scripts; kastari-collect gathers a fleet's\narchives and journals into a database, nightly with kastari-collect.timer, and kastari-web shows\nthem in a browser. Serial ports need the dialout group.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan cannot see them: the window's platform plugins and the
# toolkit's Russian texts.
# The plugins and the font are loaded at run time, so the library scan cannot find them: the SQLite
# driver for "Архивы в базе", the PostgreSQL one where the collected data live on a server, and the
# font the consumption report is set in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, libqt6sql6-sqlite, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
set(CPACK_STRIP_FILES ON)
include(CPack)

if(KASTARI_TESTS)
  add_test(NAME Package.Deb COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-package ${CMAKE_BINARY_DIR})
  set_tests_properties(Package.Deb PROPERTIES LABELS integration TIMEOUT 300)
endif()
