# Where `cmake --install` puts things on Linux, and the Debian package
# CPack makes of them (scripts/package).
include(GNUInstallDirs)

install(TARGETS orvel-logger RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(ORVEL_BUILD_APP)
  install(TARGETS orvel-viewer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES packaging/orvel-viewer.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/orvel-viewer.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES packaging/orvel-viewer.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
  install(FILES packaging/man/orvel-viewer.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES packaging/man/orvel-logger.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The example buses, so that the installed programs can be tried at once.
install(DIRECTORY examples/buses/ DESTINATION ${CMAKE_INSTALL_DATADIR}/orvel/buses
        FILES_MATCHING PATTERN "*.json")

if(WIN32)
  return()
endif()

# udev and systemd read lib/ below the prefix (/usr/lib with /usr).
install(FILES packaging/udev/60-orvel-ds2490.rules DESTINATION lib/udev/rules.d)
install(FILES packaging/systemd/orvel-logger.service packaging/systemd/orvel-logger@.service
        DESTINATION lib/systemd/system)
# /etc with the prefix /usr (the package), else etc/ below the prefix
# given at install time.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(ORVEL_CONFIG_DESTINATION /etc/orvel)
else()
  set(ORVEL_CONFIG_DESTINATION ${CMAKE_INSTALL_SYSCONFDIR}/orvel)
endif()
install(FILES packaging/orvel-logger.conf DESTINATION ${ORVEL_CONFIG_DESTINATION})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvel-viewer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvel-viewer developers <orvel-viewer@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "1-Wire sensor viewer and logger")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Reads 1-Wire thermometers, humidity modules and bridge probes through a\n"
       "DS2480B, DS2490 or passive serial adapter; shows them in a Qt window or\n"
       "logs them on the console and into CSV journal files, also as a systemd\n"
       "service.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The configuration is the administrator's: dpkg keeps their edits.
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/orvel/orvel-logger.conf\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/debian/conffiles ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
