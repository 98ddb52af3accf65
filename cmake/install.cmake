# Installation and packaging rules.
#
# Both programs go into one folder: xcpylist runs xcpycmd from its own folder. The desktop
# entry, the shared MIME type for list files and the icons follow the freedesktop.org layout.
install(TARGETS xcpylist xcpycmd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/packaging/xcpylist.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/xcpylist-mime.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
    RENAME xcpylist.xml)
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/app-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME xcpylist.png)
endforeach()

# Debian package: cpack -G DEB in the build folder.
set(XCPY_PACKAGE_MAINTAINER "xcpylist developers <xcpylist@localhost>"
    CACHE STRING "Maintainer field of the Debian package (Name <address>)")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME xcpylist)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${XCPY_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Create and run lists of XCOPY folder copies")
set(CPACK_PACKAGE_DESCRIPTION
    "xcpylist keeps an ordered list of folder copy pairs (source folder, destination
folder) in a window with a Japanese interface. The list is saved as a .xcpy list
file, exported as a batch file of XCOPY lines, or run at once through xcpycmd,
the small command interpreter installed beside it, which also runs such batch
files unattended (for example from cron).")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${XCPY_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps (package dpkg-dev); the window's Japanese text
# needs a font with the kana and kanji, which no library dependency brings in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# No maintainer scripts: the dpkg triggers of desktop-file-utils (/usr/share/applications),
# shared-mime-info (/usr/share/mime/packages) and hicolor-icon-theme (/usr/share/icons/hicolor)
# already refresh the desktop, MIME and icon caches whenever this package adds or removes files
# there. Scripts of our own would only run the same tools a second time.

include(CPack)
