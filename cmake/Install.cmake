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

if(TARGET tessarine)  # the executable arrives with the main window
  install(TARGETS tessarine RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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

# Debian package. The runtime dependencies come from what the executable really links
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
include(CPack)
