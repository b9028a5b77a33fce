# Installation and the Debian packages (cpack -G DEB, see scripts/package):
#   zavconfig      the tool, its desktop entry and icon, the Wireshark dissector of the
#                  controller protocol, and zavctl with its man page and bash completion
#                  (everything installed without a component, so the tool's own install rule
#                  lands here too)
#   zavconfig-sim  zavsim, the simulated controller network for training and tests
include(GNUInstallDirs)

set(ZAV_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

if(TARGET zavconfig)
  install(FILES ${ZAV_PACKAGING_DIR}/zavconfig.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT Unspecified)
  install(FILES ${ZAV_PACKAGING_DIR}/zavconfig.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT Unspecified)
  foreach(size 48 128)
    install(FILES ${ZAV_PACKAGING_DIR}/zavconfig-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME zavconfig.png COMPONENT Unspecified)
  endforeach()
endif()

# Wireshark's global Lua plugin folder: Debian's Wireshark 4.0 loads every .lua file in
# /usr/lib/<multiarch>/wireshark/plugins at start (tshark -G folders, "Global Lua Plugins").
# The folder is spelled out because GNUInstallDirs adds the multiarch part only when configured
# with the prefix /usr, while the package is laid out from the default prefix.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(ZAV_WIRESHARK_LUA_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/wireshark/plugins)
else()
  set(ZAV_WIRESHARK_LUA_DIR lib/wireshark/plugins)
endif()
install(FILES ${ZAV_PACKAGING_DIR}/wireshark/zavconfig.lua DESTINATION ${ZAV_WIRESHARK_LUA_DIR}
        COMPONENT Unspecified)

if(TARGET zavctl)
  install(TARGETS zavctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Unspecified)
  install(FILES ${PROJECT_SOURCE_DIR}/zavctl/zavctl.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Unspecified)
  install(FILES ${PROJECT_SOURCE_DIR}/zavctl/zavctl.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zavctl
          COMPONENT Unspecified)
endif()

if(TARGET zavsim)
  install(TARGETS zavsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
endif()

set(CPACK_PACKAGE_NAME zavconfig)
set(CPACK_PACKAGE_VENDOR "ZavConfig")
set(CPACK_PACKAGE_CONTACT "ZavConfig maintainers <zavconfig@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration tool for access-control controllers")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME zavconfig-${PROJECT_VERSION})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified sim)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Library dependencies come from dpkg-shlibdeps, so apt-get install ./file.deb brings in Qt.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME zavconfig)
# Qt loads its window-system plugin and the Polish texts of its own dialogs at run time, where
# dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
# The dissector in the plugin folder is used by whichever of them is installed.
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_SUGGESTS "wireshark | tshark")
set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION
    "Configuration tool for access-control controllers\n\
Finds the access-control controllers of an Ethernet segment by broadcast, reads\n\
their RS485 bus devices and their door or lift configuration, lets the installer\n\
reassign inputs, outputs and readers and writes the configuration back. Polish\n\
user interface. zavctl does the same from the command line: lists, reports,\n\
configuration backups that can be compared and restored, firmware uploads.\n\
Includes a Wireshark dissector for the controllers' UDP protocol.")
set(CPACK_DEBIAN_SIM_PACKAGE_NAME zavconfig-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SIM_DESCRIPTION
    "Simulated access-control controllers for ZavConfig, for training and tests\n\
zavsim answers the controllers' UDP protocol for a whole network of simulated\n\
door and lift controllers from one socket. It is meant for training and tests\n\
inside a private network namespace, never on a real installation network.")

include(CPack)
