# `cmake --install`: the Linux layout of a desktop program, and a Debian package of it made by CPack.
#
#   bin/vistrel, bin/vistrel-cli
#   share/vistrel/{styles,scripts,HTML}, share/vistrel/sendpostcard.pl
#                                            copied into ~/.local/share/vistrel on the first start
#   share/applications/vistrel.desktop       menu entry; "Öffnen mit" for the picture formats we read
#   share/icons/hicolor/*/apps/vistrel.*     SVG plus PNG sizes
#   share/metainfo/de.vantro.vistrel.metainfo.xml
#   share/man/man1/vistrel-cli.1             written from `vistrel-cli --help` at build time
#
# The folders are fixed rather than taken from GNUInstallDirs: the program finds its shipped data as
# ../share/vistrel from its own folder, so bin/ and share/ must stay siblings.

set(VISTREL_HOMEPAGE "https://www.vantro.de/vistrel" CACHE STRING "Home page named in the AppStream metadata")
set(VISTREL_SCREENSHOT_URL "${VISTREL_HOMEPAGE}/screenshots" CACHE STRING
    "Address where the pictures of docs/screenshots are published, for the AppStream metadata")
set(VISTREL_MAINTAINER "Vantro <vistrel@vantro.de>" CACHE STRING "Maintainer of the Debian package")
# The date of the release that the project version names; set it anew with every version.
set(VISTREL_RELEASE_DATE "2026-12-09")

set(vistrel_data_dir share/vistrel)

install(TARGETS vistrel-cli RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/styles ${PROJECT_SOURCE_DIR}/data/scripts
    ${PROJECT_SOURCE_DIR}/data/HTML DESTINATION ${vistrel_data_dir})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/data/sendpostcard.pl DESTINATION ${vistrel_data_dir})

# The manual page comes from the usage text itself, so it cannot fall behind `vistrel-cli --help`.
set(vistrel_man_page ${CMAKE_BINARY_DIR}/man/vistrel-cli.1)
add_custom_command(OUTPUT ${vistrel_man_page}
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:vistrel-cli> -DOUTPUT=${vistrel_man_page}
        -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/VistrelManPage.cmake
    DEPENDS vistrel-cli ${PROJECT_SOURCE_DIR}/cmake/VistrelManPage.cmake
    COMMENT "Writing the manual page of vistrel-cli")
add_custom_target(vistrel_man_page ALL DEPENDS ${vistrel_man_page})
install(FILES ${vistrel_man_page} DESTINATION share/man/man1)

if(TARGET vistrel)
    install(TARGETS vistrel RUNTIME DESTINATION bin)
    install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/vistrel.desktop DESTINATION share/applications)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor DESTINATION share/icons)
    configure_file(${PROJECT_SOURCE_DIR}/data/desktop/de.vantro.vistrel.metainfo.xml.in
        ${CMAKE_BINARY_DIR}/de.vantro.vistrel.metainfo.xml @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/de.vantro.vistrel.metainfo.xml DESTINATION share/metainfo)
endif()

# The Debian package: `cmake --build <build> --target package` gives vistrel_<version>_<arch>.deb.
# dpkg-shlibdeps (dpkg-dev) works out the library packages from the programs themselves; what it
# cannot see is named by hand: the German Qt texts and xdg-open for the browser preview and help,
# and libheif, which is loaded at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VENDOR Vantro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VISTREL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo albums as a web site, published by FTP")
# One string, not a list: a list would lose the semicolon of the last sentence.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Vistrel keeps an ordered list of photo albums, imports pictures scaled to a chosen size with "
    "thumbnails and generates a small static web site from HTML template styles. It uploads only what "
    "changed by FTP, assembles the site for a CD-ROM, sends e-card invitations and edits single "
    "pictures. The user interface is German; vistrel-cli runs the same jobs without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VISTREL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libheif is loaded at run time, so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libheif1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")
include(CPack)
