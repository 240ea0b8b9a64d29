# `cmake --install build [--prefix DIR]`: the viewer, its desktop entry, icons and AppStream
# metainfo in the freedesktop places under the prefix. Everything the desktop matches by name
# (desktop entry, metainfo id, icon, the Wayland app id) is named by the application's id.
include(GNUInstallDirs)

set(PELU_APP_ID org.pelu.Pelu)

install(TARGETS pelu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${PELU_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The entry's old name, hidden, for those who chose pelu.desktop as their default viewer.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/pelu.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${PELU_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/pelu.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${PELU_APP_ID}.svg)
foreach(side 16 24 32 48 64 128 256 512)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/pelu-${side}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${side}x${side}/apps
    RENAME ${PELU_APP_ID}.png)
endforeach()
