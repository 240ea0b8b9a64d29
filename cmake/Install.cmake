# `cmake --install build [--prefix DIR]`: the viewer, its desktop entry, icons and AppStream
# metainfo in the freedesktop places under the prefix.
include(GNUInstallDirs)

install(TARGETS pelu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/pelu.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/pelu.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/pelu.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(side 16 24 32 48 64 128 256 512)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/pelu-${side}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${side}x${side}/apps
    RENAME pelu.png)
endforeach()
