# SPDX-License-Identifier: AGPL-3.0-or-later
# The Debian package (scripts/build-deb): its documentation files and CPack's DEB generator,
# which computes the dependencies with dpkg-shlibdeps.

# The version is written down in three places; a release must not ship two of them.
file(STRINGS deb/changelog changelog_head LIMIT_COUNT 1)
file(STRINGS app.marlo.Lumafold.metainfo.xml newest_release REGEX "<release " LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^lumafold \\(${PROJECT_VERSION}\\) " OR
   NOT newest_release MATCHES "version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "packaging/deb/changelog and the newest release in the metainfo file must be "
                        "version ${PROJECT_VERSION}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS deb/changelog app.marlo.Lumafold.metainfo.xml
                                                                ${PROJECT_SOURCE_DIR}/LICENSE)

# The licence text in the copyright file's format: each line indented, empty lines as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE LICENSE_TEXT)
string(STRIP "${LICENSE_TEXT}" LICENSE_TEXT)
string(REGEX REPLACE "\n" "\n " LICENSE_TEXT " ${LICENSE_TEXT}")
string(REGEX REPLACE "\n \n" "\n .\n" LICENSE_TEXT "${LICENSE_TEXT}")
string(REGEX REPLACE "\n \n" "\n .\n" LICENSE_TEXT "${LICENSE_TEXT}")
string(REGEX REPLACE " +\n" "\n" LICENSE_TEXT "${LICENSE_TEXT}")
set(docs ${CMAKE_CURRENT_BINARY_DIR}/doc)
configure_file(deb/copyright.in ${docs}/copyright @ONLY)

add_custom_command(
    OUTPUT ${docs}/changelog.gz
    COMMAND sh -c "\"$1\" -9n < \"$2\" > \"$3.part\" && mv \"$3.part\" \"$3\"" sh ${GZIP_EXECUTABLE}
            ${CMAKE_CURRENT_SOURCE_DIR}/deb/changelog ${docs}/changelog.gz
    DEPENDS deb/changelog
    VERBATIM)
add_custom_target(lumafold_package_docs ALL DEPENDS ${docs}/changelog.gz)
install(FILES ${docs}/copyright ${docs}/changelog.gz DESTINATION ${datadir}/doc/lumafold COMPONENT desktop)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumafold)
set(CPACK_PACKAGE_VENDOR Marlo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Install into a staging DESTDIR under the real prefix, so that the paths written into the
# desktop entries at install time are the final ones.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Marlo <lumafold@marlo.app>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://marlo.app/lumafold)
# Qt loads the SVG icon engine as a plugin, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme, qt6-wayland")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PDF page organiser")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Lumafold puts every page of the PDF files you add into one grid of
thumbnails, where pages are reordered by dragging, turned, duplicated,
removed, and blank pages inserted. A live preview shows the PDF that comes
out, which is exported as one file, the selected pages only, or split into
files of a fixed number of pages. Source files are never modified and no
existing file is overwritten.
.
The command lumafold combine, and the Combine PDFs action of the desktop
entry and of KDE's file manager, merge PDF files without opening a window.")
include(CPack)
