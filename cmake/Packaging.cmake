# Installation in the freedesktop places, and a Debian package whose
# dependencies are Debian's own runtime packages (found by dpkg-shlibdeps).
include(GNUInstallDirs)

install(TARGETS dosegate-console controller-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/dosegate-console.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The icon is not square, so it goes with the unthemed pixmaps.
install(FILES ${PROJECT_SOURCE_DIR}/resources/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/pixmaps RENAME dosegate-console.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dosegate-console)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ZORVEK")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Console for networked radiation dose-rate monitors")
set(CPACK_PACKAGE_DESCRIPTION
    "Sets detector nodes' thresholds, switches, ids and display options, reads and writes their calibration coefficients, records live readings with their statistics and exports calibration reports. Includes controller-sim, a simulated controller for training and tests.")
set(CPACK_PACKAGE_CONTACT "ZORVEK console team <console@zorvek.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The layout is measured with DejaVu; WenQuanYi Micro Hei has the full-width
# punctuation of the console's texts and the table's CJK captions.
# The record store needs Qt's SQLite driver, and a lab's server Qt's
# PostgreSQL driver, plugins that no shared-library dependency names; Qt's own dialogs speak Chinese with Qt's catalogues,
# which are data files.
if(QT_VERSION_MAJOR EQUAL 5)
    set(DOSEGATE_SQLITE_DRIVER libqt5sql5-sqlite)
    set(DOSEGATE_PSQL_DRIVER libqt5sql5-psql)
    set(DOSEGATE_QT_TRANSLATIONS qttranslations5-l10n)
else()
    set(DOSEGATE_SQLITE_DRIVER libqt6sql6-sqlite)
    set(DOSEGATE_PSQL_DRIVER libqt6sql6-psql)
    set(DOSEGATE_QT_TRANSLATIONS qt6-translations-l10n)
endif()
# Boost.Math (libboost-dev) is needed to build only: its headers are all
# of it, so the installed console depends on no Boost package.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-dejavu-core, fonts-wqy-microhei, ${DOSEGATE_SQLITE_DRIVER}, ${DOSEGATE_PSQL_DRIVER}, ${DOSEGATE_QT_TRANSLATIONS}")
set(CPACK_STRIP_FILES ON)
include(CPack)
