# SPDX-License-Identifier: MIT
# Desktop integration and the Debian package.
#   cpack -G DEB (in the build folder) makes kemo-editor_<version>_<arch>.deb, installing under /usr.
set(KEMO_APP_ID org.kemo.editor)
set(KEMO_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KEMO_PACKAGE_MAINTAINER "Kemo.Editor maintainers <maintainers@kemo-editor.example.org>"
    CACHE STRING "The Debian package's maintainer, \"Name <mail address>\"")

# --- the documents every Debian package carries: copyright, changelog, the manual page -------------
set(KEMO_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
set(KEMO_PACKAGE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kemo-editor)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
find_program(SCDOC_EXECUTABLE scdoc)

# The changelog's newest version is the package's: CHANGELOG.md gains its entry with each landing.
file(STRINGS ${CMAKE_SOURCE_DIR}/CHANGELOG.md KEMO_CHANGELOG_TOP REGEX "^## " LIMIT_COUNT 1)
if(NOT KEMO_CHANGELOG_TOP MATCHES "^## ${PROJECT_VERSION} - ")
  message(WARNING "CHANGELOG.md's newest entry (${KEMO_CHANGELOG_TOP}) is not version ${PROJECT_VERSION}")
endif()
add_custom_command(OUTPUT ${KEMO_DOC_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KEMO_DOC_DIR}
  COMMAND sh -c "'${KEMO_PACKAGING_DIR}/debian-changelog' '${CMAKE_SOURCE_DIR}/CHANGELOG.md' kemo-editor \
                 '${KEMO_PACKAGE_MAINTAINER}' | '${GZIP_EXECUTABLE}' -9n > '${KEMO_DOC_DIR}/changelog.gz'"
  DEPENDS ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${KEMO_PACKAGING_DIR}/debian-changelog
  COMMENT "Writing the Debian changelog from CHANGELOG.md" VERBATIM)
set(KEMO_DOC_OUTPUTS ${KEMO_DOC_DIR}/changelog.gz)
install(FILES ${KEMO_PACKAGING_DIR}/copyright ${KEMO_DOC_DIR}/changelog.gz DESTINATION ${KEMO_PACKAGE_DOC_DIR})

# kemo-editor(1), English and Japanese, from its scdoc source.
if(SCDOC_EXECUTABLE)
  foreach(lang en ja)
    # groff breaks Japanese lines between characters (there are no blanks) with its ja macros.
    set(prologue "")
    if(lang STREQUAL ja)
      set(prologue "echo .mso ja.tmac;")
    endif()
    if(lang STREQUAL en)
      set(source ${KEMO_PACKAGING_DIR}/man/kemo-editor.1.scd)
      set(page ${KEMO_DOC_DIR}/man/man1/kemo-editor.1.gz)
      set(dest ${CMAKE_INSTALL_MANDIR}/man1)
    else()
      set(source ${KEMO_PACKAGING_DIR}/man/kemo-editor.${lang}.1.scd)
      set(page ${KEMO_DOC_DIR}/man/${lang}/man1/kemo-editor.1.gz)
      set(dest ${CMAKE_INSTALL_MANDIR}/${lang}/man1)
    endif()
    get_filename_component(page_dir ${page} DIRECTORY)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${page_dir}
      COMMAND sh -c "{ ${prologue} '${SCDOC_EXECUTABLE}' < '${source}'; } | '${GZIP_EXECUTABLE}' -9n > '${page}'"
      DEPENDS ${source} COMMENT "Writing the manual page kemo-editor(1) (${lang})" VERBATIM)
    list(APPEND KEMO_DOC_OUTPUTS ${page})
    install(FILES ${page} DESTINATION ${dest})
  endforeach()
else()
  message(WARNING "scdoc is not installed (scripts/setup-deps installs it): no manual page")
endif()
add_custom_target(kemo_docs ALL DEPENDS ${KEMO_DOC_OUTPUTS})

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
set(CPACK_PACKAGE_CONTACT "${KEMO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KEMO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for recorded lecture data folders (slides, pointer track, video)")
# The extended description (cpack puts the summary before it and indents each line by one blank).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kemo.Editor opens the data folder of a recorded lecture (the video, the
slide pictures and content.xml), plays the video and keeps the slide list,
the mouse-pointer track and the slide with its pointer marker in step with
the playback time. Slides and pointer runs are edited or recorded anew and
saved with a time-stamped backup; unsaved work survives a crash in a
recovery journal.
.
It converts the recorder's FLV video to AVI and exports a lecture as one
MP4 with ffmpeg, also from the command line for many folders at once. The
interface is in Japanese.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The folders the package makes are root's, readable by all, whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the executable links (libc, libstdc++, Qt, libxml2) with their versions, found by
# dpkg-shlibdeps; then what it loads or runs without linking it: the player's GStreamer plugins for
# the AVI and the FLV (demuxers in -good, the msmpeg4v2/wmav2 and FLV decoders in -libav, playbin
# and the converters in -base), the encoder, the interface font, Qt's Japanese texts and its WebP writer (the web package's slides).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav, ffmpeg, fonts-ipafont-gothic, fonts-noto-cjk, qt6-translations-l10n, qt6-image-formats-plugins")
include(CPack)
