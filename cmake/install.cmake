# Installation and packaging rules.
#
# Both programs go into one folder: xcpylist runs xcpycmd from its own folder. The desktop
# entry, the shared MIME type for list files, the icons and the AppStream metadata follow the
# freedesktop.org layout; manual pages, copyright and changelog the Debian one.
# Build folders configured before the project had an address still hold the old placeholder on
# localhost, which no distribution accepts: they get the project's address.
if(XCPY_PACKAGE_MAINTAINER MATCHES "@localhost>$")
    unset(XCPY_PACKAGE_MAINTAINER CACHE)
endif()
set(XCPY_PACKAGE_MAINTAINER "xcpylist developers <xcpylist@xcpylist.org>"
    CACHE STRING "Maintainer field of the Debian package (Name <address>)")
set(XCPY_DEBIAN_RELEASE 1)
set(XCPY_DEBIAN_VERSION ${PROJECT_VERSION}-${XCPY_DEBIAN_RELEASE})
set(XCPY_APPSTREAM_ID org.xcpylist.xcpylist)

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
install(FILES ${PROJECT_SOURCE_DIR}/packaging/xcpylist.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    RENAME ${XCPY_APPSTREAM_ID}.metainfo.xml)

# Manual pages and the Debian changelog are installed compressed with gzip -9n: no time stamp
# in the header, so the same sources give the same package.
set(XCPY_PACKAGING_OUT ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in
    ${XCPY_PACKAGING_OUT}/copyright @ONLY)
set(XCPY_COMPRESSED)
foreach(source IN ITEMS man/xcpylist.1 man/xcpycmd.1 debian/changelog)
    get_filename_component(name ${source} NAME)
    if(name STREQUAL "changelog")
        set(name changelog.Debian)
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${source}.in ${XCPY_PACKAGING_OUT}/${name} @ONLY)
    add_custom_command(OUTPUT ${XCPY_PACKAGING_OUT}/${name}.gz
        COMMAND gzip -9nkf ${name}
        WORKING_DIRECTORY ${XCPY_PACKAGING_OUT}
        DEPENDS ${XCPY_PACKAGING_OUT}/${name}
        VERBATIM)
    list(APPEND XCPY_COMPRESSED ${XCPY_PACKAGING_OUT}/${name}.gz)
endforeach()
add_custom_target(xcpy_packaging_files ALL DEPENDS ${XCPY_COMPRESSED})
install(FILES ${XCPY_PACKAGING_OUT}/xcpylist.1.gz ${XCPY_PACKAGING_OUT}/xcpycmd.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${XCPY_PACKAGING_OUT}/copyright ${XCPY_PACKAGING_OUT}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian package: cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME xcpylist)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${XCPY_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VENDOR "xcpylist developers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Create and run lists of XCOPY folder copies")
set(CPACK_PACKAGE_DESCRIPTION
    "xcpylist keeps an ordered list of folder copy pairs (source folder,
destination folder) in a window with a Japanese interface. The list is
saved as a .xcpy list file, exported as a batch file of XCOPY lines, or
run at once through xcpycmd, the small command interpreter installed
beside it, which also runs such batch files unattended (for example
from cron).")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${XCPY_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${XCPY_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps (package dpkg-dev). No library dependency brings
# in what a Japanese window needs besides: a font with the kana and kanji, and Qt's own texts
# (buttons, file dialogs) in Japanese.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# No maintainer scripts: the dpkg triggers of desktop-file-utils (/usr/share/applications),
# shared-mime-info (/usr/share/mime/packages) and hicolor-icon-theme (/usr/share/icons/hicolor)
# already refresh the desktop, MIME and icon caches whenever this package adds or removes files
# there. Scripts of our own would only run the same tools a second time.

include(CPack)
