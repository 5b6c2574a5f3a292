# Install rules and the Debian package. Included at the end of the top-level CMakeLists.txt,
# after every target is defined.
#   cmake --install build            (prefix /usr/local unless CMAKE_INSTALL_PREFIX says otherwise)
#   cd build && cpack -G DEB         (a .deb installing under /usr)
# Without the windows there is nothing to install.
if(NOT TESSARINE_WITH_QT)
  return()
endif()
include(GNUInstallDirs)

set(TESSARINE_APP_ID org.example.tessarine)
set(TESSARINE_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

# The maker's addresses are defined once, in ui/home_page.h; the metadata takes them from there.
file(STRINGS ${PROJECT_SOURCE_DIR}/ui/home_page.h _tessarine_home_page_lines REGEX "k(HomePageUrl|MailAddress)\\[\\]")
foreach(_line IN LISTS _tessarine_home_page_lines)
  if(_line MATCHES "kHomePageUrl\\[\\] = \"([^\"]+)\"")
    set(TESSARINE_HOME_PAGE "${CMAKE_MATCH_1}")
  elseif(_line MATCHES "kMailAddress\\[\\] = \"([^\"]+)\"")
    set(TESSARINE_MAIL_ADDRESS "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT TESSARINE_HOME_PAGE OR NOT TESSARINE_MAIL_ADDRESS)
  message(FATAL_ERROR "ui/home_page.h: kHomePageUrl or kMailAddress not found")
endif()
configure_file(${TESSARINE_DATA_DIR}/${TESSARINE_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/data/${TESSARINE_APP_ID}.metainfo.xml @ONLY)

# The documentation Debian asks of every package, made here so that a source install carries it
# too: the licence in the machine-readable copyright format (its MIT paragraph taken from
# LICENSE), the changelog (its first entry must be the project's version) and the manual page.
# Compressed with `gzip -9n` (no name, no time), so that the same sources give the same bytes.
set(TESSARINE_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/cmake/debian)
set(TESSARINE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tessarine)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _tessarine_license)
string(FIND "${_tessarine_license}" "Permission is hereby granted" _tessarine_permission)
string(SUBSTRING "${_tessarine_license}" ${_tessarine_permission} -1 _tessarine_license)
string(STRIP "${_tessarine_license}" _tessarine_license)
string(REPLACE "\n\n" "\n.\n" _tessarine_license "${_tessarine_license}")
string(REPLACE "\n" "\n " TESSARINE_MIT_TEXT " ${_tessarine_license}")
configure_file(${TESSARINE_DEBIAN_DIR}/copyright.in ${PROJECT_BINARY_DIR}/doc/copyright @ONLY)
configure_file(${TESSARINE_DEBIAN_DIR}/changelog.in ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
configure_file(${TESSARINE_DATA_DIR}/tessarine.1.in ${PROJECT_BINARY_DIR}/doc/tessarine.1 @ONLY)
file(STRINGS ${PROJECT_BINARY_DIR}/doc/changelog _tessarine_changelog_top LIMIT_COUNT 1)
if(NOT _tessarine_changelog_top MATCHES "^tessarine \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog.in: the first entry is not version ${PROJECT_VERSION}")
endif()
foreach(_name changelog tessarine.1)
  execute_process(COMMAND gzip -9n -c INPUT_FILE ${PROJECT_BINARY_DIR}/doc/${_name}
                  OUTPUT_FILE ${PROJECT_BINARY_DIR}/doc/${_name}.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)

if(TARGET tessarine)  # the executable arrives with the main window
  install(TARGETS tessarine RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Without the compilers' version notes, as Debian's own packages ship their programs.
  install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessarine\"
    COMMAND_ERROR_IS_FATAL ANY)")
endif()
install(FILES ${TESSARINE_DATA_DIR}/${TESSARINE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_BINARY_DIR}/data/${TESSARINE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TESSARINE_DATA_DIR}/tessarine.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(_size 16 32 48 128 256)
  install(FILES ${TESSARINE_DATA_DIR}/icons/tessarine-${_size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
          RENAME tessarine.png)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/doc/tessarine.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/doc/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${TESSARINE_DOC_DIR})

# Debian package. lintian (tests/install/package_test.sh) finds nothing in it, not even with
# --pedantic --display-info: the documentation comes from the rules above, cmake/Hardening.cmake
# gives the program the hardening it looks for, and the install step drops the .comment
# section. A finding we choose to accept goes into cmake/debian/lintian-overrides, installed as
# share/lintian/overrides/tessarine, with its reason beside it.
# The runtime dependencies come from what the executable really links
# (dpkg-shlibdeps: Qt 6 widgets, libjpeg62-turbo, libc, libstdc++ ...); the CJK font is named
# by hand because nothing links it, yet every caption is Chinese.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessarine)
set(CPACK_PACKAGE_VENDOR "Tessarine")
set(CPACK_PACKAGE_CONTACT "Tessarine <${TESSARINE_MAIL_ADDRESS}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make thumbnails of JPEG photos")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessarine is a desktop tool that makes reduced copies (thumbnails) of JPEG\n\
photographs, one by one or for a whole folder, under five sizing rules.\n\
Thumbnails are new baseline JPEG files at quality 90; the source photos are\n\
never changed. The user interface is in Chinese.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TESSARINE_HOME_PAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
# What the desktop features need at run time, without which the program still works:
# xdg-open for 打开, 主页 and the About window's links; Qt's Wayland platform (else XWayland);
# Qt's own texts in Chinese (app/qt_translations.h).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland, qt6-translations-l10n")
include(CPack)
