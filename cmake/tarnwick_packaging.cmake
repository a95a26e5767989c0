# What an installation holds besides the program and its engine: the menu entry,
# the icons, the AppStream metainfo, the manual page and the package documents;
# and the Debian package made of all of it by CPack.
#
# The program and the engine install themselves (app/, ui_engine_qt/) into the
# folders named here. Nothing else is installed: the stand-in, the tests, the
# scripted engine and the benchmarks have no install rules.

include(GNUInstallDirs)

# The engine is a private library of the program, not one for other programs to
# link: it lives in a folder of its own, which the program's run path names.
# Below the architecture's folder, as the linker cache has no business there.
set(TW_INSTALL_BINDIR bin)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(TW_INSTALL_ENGINEDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/tarnwick)
else()
  set(TW_INSTALL_ENGINEDIR lib/tarnwick)
endif()
set(TW_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnwick)

# The date of the release named by the project's version; change both together.
set(TW_RELEASE_DATE "2026-12-09")
set(TW_APP_ID "org.tarnwick.Tarnwick")
set(TW_PACKAGE_MAINTAINER "Tarnwick developers <developers@tarnwick.example.org>"
    CACHE STRING "The package's Maintainer field")

set(tw_pkg_src ${PROJECT_SOURCE_DIR}/packaging)
set(tw_pkg_out ${PROJECT_BINARY_DIR}/packaging)

# The metainfo, the changelog and the manual page carry the version, the
# release date or the engine's folder.
string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" tw_date_ok "${TW_RELEASE_DATE}")
if(NOT tw_date_ok)
  message(FATAL_ERROR "TW_RELEASE_DATE must read YYYY-MM-DD, not '${TW_RELEASE_DATE}'")
endif()
execute_process(COMMAND date -u -R -d "${TW_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE TW_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE tw_date_result)
if(NOT tw_date_result EQUAL 0)
  message(FATAL_ERROR "TW_RELEASE_DATE '${TW_RELEASE_DATE}' is not a date")
endif()
configure_file(${tw_pkg_src}/tarnwick.metainfo.xml.in
               ${tw_pkg_out}/${TW_APP_ID}.metainfo.xml @ONLY)
configure_file(${tw_pkg_src}/changelog.in ${tw_pkg_out}/changelog @ONLY)
configure_file(${tw_pkg_src}/tarnwick.1.in ${tw_pkg_out}/tarnwick.1 @ONLY)

# Icons for the hicolor theme, drawn once as SVG; the bitmap sizes are made from
# it at build time. Manual page and changelog are shipped compressed, without a
# time stamp, so that two builds give the same bytes.
find_program(TW_RSVG_CONVERT rsvg-convert)
find_program(TW_GZIP gzip REQUIRED)
set(tw_icon_sizes 16 24 32 48 64 128 256)
set(tw_generated
    ${tw_pkg_out}/tarnwick.1.gz
    ${tw_pkg_out}/changelog.gz)
add_custom_command(OUTPUT ${tw_pkg_out}/tarnwick.1.gz
  COMMAND ${TW_GZIP} -9 -n -c ${tw_pkg_out}/tarnwick.1 > ${tw_pkg_out}/tarnwick.1.gz
  DEPENDS ${tw_pkg_out}/tarnwick.1 VERBATIM)
add_custom_command(OUTPUT ${tw_pkg_out}/changelog.gz
  COMMAND ${TW_GZIP} -9 -n -c ${tw_pkg_out}/changelog > ${tw_pkg_out}/changelog.gz
  DEPENDS ${tw_pkg_out}/changelog VERBATIM)
if(TW_RSVG_CONVERT)
  foreach(size IN LISTS tw_icon_sizes)
    set(png ${tw_pkg_out}/icons/${size}x${size}/tarnwick.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${tw_pkg_out}/icons/${size}x${size}
      COMMAND ${TW_RSVG_CONVERT} --width=${size} --height=${size} --keep-aspect-ratio
              --output=${png} ${tw_pkg_src}/tarnwick.svg
      DEPENDS ${tw_pkg_src}/tarnwick.svg VERBATIM)
    list(APPEND tw_generated ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert not found (install librsvg2-bin): only the SVG icon is installed")
endif()
add_custom_target(tarnwick_data ALL DEPENDS ${tw_generated})

install(FILES ${tw_pkg_src}/tarnwick.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
# The menu entry is named as the program is: the window's class (X11) and its
# application id (Wayland) both read "tarnwick", and desktops find the entry,
# and with it the icon, by that name.
install(FILES ${tw_pkg_src}/tarnwick.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${tw_pkg_out}/${TW_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${tw_pkg_out}/tarnwick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${tw_pkg_src}/copyright ${tw_pkg_out}/changelog.gz DESTINATION ${TW_INSTALL_DOCDIR})

# The Debian package. Its dependencies are what dpkg-shlibdeps finds in the
# program and the engine; the fonts are only recommended, as the texts fall
# back to boxes without a Chinese font but the program still works.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "Tarnwick developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "downloader of Windows installation images")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tarnwick downloads Windows installation images (ISO files of 3 to 6 GB)"
  "from a built-in catalog of share links on a public cloud-storage service."
  "Pick an image, type a file name and confirm the target path: Tarnwick turns"
  "the share link into a direct download address and fetches the file over one"
  "HTTP connection, showing percent, speed and amount until the download is"
  "complete or cancelled."
  ""
  "Its window and messages are in Chinese.")
set(CPACK_PACKAGE_CONTACT "${TW_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TW_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/deb)
include(CPack)
