# Installing and packaging: the bundle tree under <prefix>/lib/vellora, a desktop entry that
# puts Vellora in the application menu, its icon; `cpack -G DEB` makes a Debian package of it.
include(GNUInstallDirs)
set(VELLORA_INSTALL_BUNDLE ${CMAKE_INSTALL_LIBDIR}/vellora/Vellora.app)
set(VELLORA_INSTALL_LAUNCHER ${VELLORA_INSTALL_BUNDLE}/Contents/Library/LoginItems/VelloraLaunch.app)

install(TARGETS vellora RUNTIME DESTINATION ${VELLORA_INSTALL_BUNDLE}/Contents/MacOS)
install(FILES ${VELLORA_BUNDLE_DIR}/Contents/Info.plist DESTINATION ${VELLORA_INSTALL_BUNDLE}/Contents)
install(DIRECTORY ${VELLORA_BUNDLE_DIR}/Contents/Resources DESTINATION ${VELLORA_INSTALL_BUNDLE}/Contents)
install(TARGETS vellora_launch RUNTIME DESTINATION ${VELLORA_INSTALL_LAUNCHER}/Contents/MacOS)
install(FILES ${VELLORA_LAUNCHER_BUNDLE_DIR}/Contents/Info.plist
        DESTINATION ${VELLORA_INSTALL_LAUNCHER}/Contents)
install(FILES ${PROJECT_SOURCE_DIR}/resources/AppIcon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${VELLORA_BUNDLE_ID}.svg)
# The renderings made for the bundle, for menus and docks that do not draw SVG themselves.
foreach(size IN LISTS VELLORA_APP_ICON_SIZES)
  install(FILES ${VELLORA_BUNDLE_DIR}/Contents/Resources/AppIcon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${VELLORA_BUNDLE_ID}.png)
endforeach()

# The `vellora` command on the PATH: a link to the bundle's program, which finds its bundle
# through the link.
install(CODE "
  set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/vellora\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(RELATIVE_PATH target \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\"
       \"\${CMAKE_INSTALL_PREFIX}/${VELLORA_INSTALL_BUNDLE}/Contents/MacOS/Vellora\")
  message(STATUS \"Installing: \${link} -> \${target}\")
  file(CREATE_LINK \"\${target}\" \"\${link}\" SYMBOLIC)
")

# GNOME Shell's extensions (one for 45 and later, one for 40 to 44), where the shell looks for
# extensions installed for every user; each user turns one on with gnome-extensions.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/platform/wayland/gnome-shell/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions)

# The desktop entry's Exec names the installed program, so it is written at install time,
# when the prefix (also one given to `cmake --install --prefix`) is known.
install(CODE "
  set(BUNDLE_NAME Vellora)
  set(BUNDLE_ID \"${VELLORA_BUNDLE_ID}\")
  set(VELLORA_EXECUTABLE \"\${CMAKE_INSTALL_PREFIX}/${VELLORA_INSTALL_BUNDLE}/Contents/MacOS/Vellora\")
  configure_file(\"${PROJECT_SOURCE_DIR}/resources/Vellora.desktop.in\"
                 \"${PROJECT_BINARY_DIR}/install/${VELLORA_BUNDLE_ID}.desktop\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
       TYPE FILE FILES \"${PROJECT_BINARY_DIR}/install/${VELLORA_BUNDLE_ID}.desktop\")
")

set(CPACK_PACKAGE_NAME vellora)
set(CPACK_PACKAGE_VENDOR "Vellora")
set(CPACK_PACKAGE_CONTACT "Vellora developers <support@${VELLORA_VENDOR_HOST}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Gives every application its own master output volume")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${VELLORA_VENDOR_HOST}")
# Libraries the programs link come from dpkg-shlibdeps; plug-ins Qt loads at run time do not: the
# packages that ship them on the release building the package are asked of dpkg (Qt 6.8 moved the
# SVG plug-ins from libqt6svg6 to qt6-svg-plugins).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(vellora_plugin_packages qt6-qpa-plugins)
foreach(plugin platforms/libqxcb.so imageformats/libqsvg.so iconengines/libqsvgicon.so)
  execute_process(COMMAND dpkg-query -S "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/${plugin}"
                  OUTPUT_VARIABLE owner ERROR_QUIET RESULT_VARIABLE unknown)
  string(REGEX REPLACE "^([^:,]+).*" "\\1" owner "${owner}")
  if(NOT unknown AND NOT owner STREQUAL "")
    list(APPEND vellora_plugin_packages ${owner})
  else()
    message(WARNING "No Debian package ships Qt's ${plugin}: the package will not depend on it")
  endif()
endforeach()
list(REMOVE_DUPLICATES vellora_plugin_packages)
list(JOIN vellora_plugin_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "pulseaudio | pipewire-pulse, hicolor-icon-theme, fonts-noto-color-emoji, qt6-wayland")
include(CPack)
