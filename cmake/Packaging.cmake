# Installation on a Linux desktop and the Debian package: the programs (installed beside their
# targets), the desktop entry, the metainfo, the icons, the manual pages, the server's system
# unit and the licence.
#   cmake --install build [--prefix DIR]
#   cmake --build build --target package   # build/tonalyx_VERSION_ARCH.deb

set(TONALYX_SITE_URL "https://varnel.example/" CACHE STRING
    "The maker's public web site, ending in /; the package and the metainfo name it")
# The date of the release PROJECT_VERSION names; the two change together.
set(TONALYX_RELEASE_DATE 2026-12-09)
set(TONALYX_HOMEPAGE_URL "${TONALYX_SITE_URL}Tonalyx/")

# The desktop entry, the metainfo and the icon in the hicolor theme.
install(FILES resources/${TONALYX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(resources/${TONALYX_APP_ID}.metainfo.xml.in
    ${PROJECT_BINARY_DIR}/resources/${TONALYX_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/resources/${TONALYX_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/icons/${TONALYX_APP_ID}.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS TONALYX_ICON_SIZES)
    install(FILES resources/icons/hicolor/${size}x${size}/${TONALYX_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The manual pages, compressed as Debian keeps them.
set(_tonalyx_manual_pages)
foreach(page tonalyx tonalyx-cli tonalyx-render tonalyx-server)
    configure_file(docs/man/${page}.1.in ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.1.gz
        COMMAND gzip -9nkf ${page}.1
        DEPENDS ${PROJECT_BINARY_DIR}/man/${page}.1
        WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/man VERBATIM)
    list(APPEND _tonalyx_manual_pages ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(tonalyx_manual_pages ALL DEPENDS ${_tonalyx_manual_pages})
install(FILES ${_tonalyx_manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The server as a system service, shipped but not enabled. Units lie below lib/ whatever
# the architecture's library folder is.
install(FILES resources/tonalyx-server.service DESTINATION lib/systemd/system)

# The licence, in the machine-readable form of Debian's copyright files.
file(READ LICENSE _tonalyx_license)
string(REGEX REPLACE "\n$" "" _tonalyx_license "${_tonalyx_license}")
string(REPLACE "\n\n" "\n.\n" _tonalyx_license "${_tonalyx_license}")
string(REPLACE "\n" "\n " _tonalyx_license "${_tonalyx_license}")
file(WRITE ${PROJECT_BINARY_DIR}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: Tonalyx\n"
    "Upstream-Contact: Varnel Solutions <${TONALYX_SUPPORT_EMAIL}>\n"
    "Source: ${TONALYX_HOMEPAGE_URL}\n\n"
    "Files: *\n"
    "Copyright: 2026 Varnel Solutions\n"
    "License: MIT\n"
    " ${_tonalyx_license}\n")
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tonalyx)

# The Debian package. Its dependencies are read from the programs by dpkg-shlibdeps; the
# window also needs the toolkit's platform plugins, which no program links. There are no
# maintainer scripts: Debian's triggers refresh the desktop, icon and manual caches.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonalyx)
set(CPACK_PACKAGE_VENDOR "Varnel Solutions")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Varnel Solutions <${TONALYX_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "histograms of photographs in RGB, HSV and CIE L*a*b*")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "histograms of photographs in RGB, HSV and CIE L*a*b*
 Tonalyx shows a JPEG or Windows BMP image beside ten histograms in three colour
 models: RGB (the sum of the primaries, then red, green and blue), HSV and
 CIE L*a*b*. The panel of histograms can be saved as PNG, copied or shared.
 .
 The package also holds tonalyx-cli, which prints the counts as JSON for
 scripts, tonalyx-render, which writes the panels of many images as PNG files,
 and tonalyx-server, the web server the program uploads to and reads its news
 from, with a systemd unit that is installed but not enabled.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TONALYX_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The histogram panel is drawn in DejaVu Sans; the saved and rendered pictures depend on it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
