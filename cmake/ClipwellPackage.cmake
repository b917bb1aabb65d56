# The Debian package: what it holds besides the install rules (its copyright file and changelog), and
# CPack's settings. scripts/package builds it.

set(clipwell_doc_dir ${CMAKE_BINARY_DIR}/share/doc/clipwell)
set(clipwell_maintainer "Clipwell developers <packages@clipwell.app>")

# A native package's changelog, whose one entry carries the version and the release date.
execute_process(COMMAND date -R -u -d "${CLIPWELL_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE clipwell_release_rfc2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(WRITE ${clipwell_doc_dir}/changelog
     "clipwell (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${PROJECT_VERSION}.\n\n"
     " -- ${clipwell_maintainer}  ${clipwell_release_rfc2822}\n")
add_custom_command(
  OUTPUT ${clipwell_doc_dir}/changelog.gz
  COMMAND gzip -9n -c ${clipwell_doc_dir}/changelog > ${clipwell_doc_dir}/changelog.gz
  DEPENDS ${clipwell_doc_dir}/changelog
  VERBATIM)
add_custom_target(clipwell_changelog ALL DEPENDS ${clipwell_doc_dir}/changelog.gz)
install(FILES ${clipwell_doc_dir}/changelog.gz ${PROJECT_SOURCE_DIR}/resources/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/clipwell)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME clipwell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${clipwell_maintainer})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clipboard history with quick paste")
set(CPACK_PACKAGE_DESCRIPTION
    "Clipwell follows the clipboard and keeps a persistent history of the last\n"
    "copies: text, links, images and files. An earlier copy can be found by\n"
    "searching, previewed and copied again, or pasted straight into the\n"
    "application in front with a keyboard chord. It runs on X11 and on Wayland\n"
    "compositors that let applications follow the clipboard.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CLIPWELL_HOMEPAGE})
# The libraries the binary links, found by dpkg-shlibdeps; then what it loads or shows at run time:
# Qt's Wayland platform (xcb's comes with libqt6gui6), the TIFF reader for copied images,
# Qt's own translations and colour emoji.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-wayland, qt6-image-formats-plugins, qt6-translations-l10n, fonts-noto-color-emoji")
# The Chinese interface needs a CJK font, which a Chinese desktop already has.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")

include(CPack)
