# What a desktop needs besides the binary: the icon at the hicolor sizes, the desktop entry, the
# AppStream metainfo and the manual page, and the checks of the desktop's own validators.

# The reverse of the site's domain, as Clipwell's own names (its threads, log categories and clipboard
# marker) already are.
set(CLIPWELL_APP_ID "app.clipwell.Clipwell")
set(CLIPWELL_HOMEPAGE "https://clipwell.app")
# The screenshots scripts/run writes, under the names it gives them.
set(CLIPWELL_SCREENSHOT_URL "${CLIPWELL_HOMEPAGE}/screenshots")
# Nobody has been granted a licence yet; the package and the metainfo say so.
set(CLIPWELL_LICENSE "LicenseRef-proprietary")

set(clipwell_icon_svg ${PROJECT_SOURCE_DIR}/resources/icons/app/clipwell.svg)
# KWin grants its fake input (quick paste's typing) to the program whose entry names it by its full path.
set(clipwell_desktop_entry ${CMAKE_BINARY_DIR}/share/applications/clipwell.desktop)
configure_file(${PROJECT_SOURCE_DIR}/resources/clipwell.desktop.in ${clipwell_desktop_entry} @ONLY)
set(clipwell_manual ${CMAKE_BINARY_DIR}/share/man/man1/clipwell.1)
configure_file(${PROJECT_SOURCE_DIR}/resources/clipwell.1.in ${clipwell_manual} @ONLY)
set(clipwell_metainfo ${CMAKE_BINARY_DIR}/share/metainfo/${CLIPWELL_APP_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/resources/clipwell.metainfo.xml.in ${clipwell_metainfo} @ONLY)

add_executable(clipwell_render_icon ${PROJECT_SOURCE_DIR}/tools/icon/render_icon.cpp)
target_link_libraries(clipwell_render_icon PRIVATE Qt6::Gui Qt6::Svg)
clipwell_configure_target(clipwell_render_icon)

set(clipwell_icon_pngs)
foreach(size 16 24 32 48 64 128 256)
  set(png ${CMAKE_BINARY_DIR}/share/icons/hicolor/${size}x${size}/apps/clipwell.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share/icons/hicolor/${size}x${size}/apps
    # The tool runs headless, and a sanitized build's leak report would fail it for Qt's own leaks.
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:clipwell_render_icon> ${clipwell_icon_svg} ${size} ${png}
    DEPENDS clipwell_render_icon ${clipwell_icon_svg}
    COMMENT "Rendering the ${size} px application icon"
    VERBATIM)
  list(APPEND clipwell_icon_pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(clipwell_icons ALL DEPENDS ${clipwell_icon_pngs})

# Manual pages and the changelog are installed compressed, reproducibly (no name or time in the
# gzip header), as Debian's policy asks.
set(clipwell_manual_gz ${clipwell_manual}.gz)
add_custom_command(
  OUTPUT ${clipwell_manual_gz}
  COMMAND gzip -9n -c ${clipwell_manual} > ${clipwell_manual_gz}
  DEPENDS ${clipwell_manual}
  VERBATIM)
add_custom_target(clipwell_manual ALL DEPENDS ${clipwell_manual_gz})

install(FILES ${clipwell_desktop_entry} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${clipwell_icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${clipwell_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${clipwell_manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(CLIPWELL_BUILD_TESTS)
  set(clipwell_validate ${PROJECT_SOURCE_DIR}/tests/support/validate.sh)
  add_test(NAME desktop_entry_valid COMMAND ${clipwell_validate} --quiet desktop-file-validate ${clipwell_desktop_entry})
  # --strict fails on warnings and infos too; pedantic hints are printed but do not fail.
  add_test(NAME metainfo_valid COMMAND ${clipwell_validate} appstreamcli validate --no-net --strict --pedantic ${clipwell_metainfo})
  add_test(NAME manual_page_valid COMMAND ${clipwell_validate} --quiet groff -ww -man -z ${clipwell_manual})
  set_tests_properties(desktop_entry_valid metainfo_valid manual_page_valid PROPERTIES SKIP_RETURN_CODE 77)
endif()
