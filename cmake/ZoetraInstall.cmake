# Installation and the Debian package (cpack -G DEB in a build folder).
# Included after every subsystem, so that the window program is installed
# whenever it is built.
include(GNUInstallDirs)
set(ZOETRA_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/zoetra)

# The programs find their data in share/zoetra beside their bin folder.
if(TARGET zoetra)
  install(TARGETS zoetra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Effects DESTINATION ${ZOETRA_DATA_DESTINATION})
if(TARGET zoetra-skins)
  set(ZOETRA_DRAWN_RESOURCES ${PROJECT_BINARY_DIR}/share/zoetra/Resources)
  install(FILES ${ZOETRA_DRAWN_RESOURCES}/skins.rez ${ZOETRA_DRAWN_RESOURCES}/icons.rez
    DESTINATION ${ZOETRA_DATA_DESTINATION}/Resources)
  install(FILES ${ZOETRA_DRAWN_RESOURCES}/zoetra.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/zoetra.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_SOURCE_DIR}/COPYING
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zoetra)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_VENDOR "Zoetra developers")
set(CPACK_PACKAGE_CONTACT "Zoetra developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns still GIF images into animated GIF89a files")
set(CPACK_PACKAGE_DESCRIPTION
  "Zoetra runs effects - small networks of image sources, wave generators,
arithmetic, a 3-D camera and point renderers - over still GIF images and
saves the frames as one animated GIF89a file. It comes with a desktop
window and the headless renderer zoetra-render.
Licence: GPL-3.0-or-later.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/COPYING)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zoetra developers")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, as dpkg-shlibdeps finds them; the text
# needs a font to draw with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
include(CPack)
