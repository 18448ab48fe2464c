# Desktop integration and the Debian package.
#   cpack -G DEB (in the build folder) makes kemo-editor_<version>_<arch>.deb, installing under /usr.
set(KEMO_APP_ID org.kemo.editor)
set(KEMO_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${KEMO_PACKAGING_DIR}/${KEMO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KEMO_PACKAGING_DIR}/${KEMO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KEMO_PACKAGING_DIR}/icons/kemo-editor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${KEMO_PACKAGING_DIR}/icons/kemo-editor-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kemo-editor.png)
endforeach()

set(CPACK_PACKAGE_NAME kemo-editor)
set(CPACK_PACKAGE_VENDOR "Kemo")
set(CPACK_PACKAGE_CONTACT "Kemo.Editor developers <kemo-editor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for recorded lecture data folders (slides, pointer track, video)")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the executable links (libc, libstdc++, Qt, libxml2) with their versions, found by
# dpkg-shlibdeps; then what it loads or runs without linking it: the player's GStreamer plugins for
# the AVI and the FLV (demuxers in -good, the msmpeg4v2/wmav2 and FLV decoders in -libav, playbin
# and the converters in -base), the encoder, the interface font and Qt's Japanese texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav, ffmpeg, fonts-noto-cjk, qt6-translations-l10n")
include(CPack)
