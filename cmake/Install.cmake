# What `cmake --install` lays out, and the Debian package that CPack builds
# from the same rules (`cpack -G DEB` in the build folder).
include(GNUInstallDirs)

set(V36_UDEV_RULES_DIR "lib/udev/rules.d"
    CACHE STRING "Where the udev rule is installed, relative to the prefix")
set(V36_LINUX_DIR ${PROJECT_SOURCE_DIR}/resources/linux)
set(V36_GENERATED_DIR ${PROJECT_BINARY_DIR}/linux)

install(TARGETS v36ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${V36_LINUX_DIR}/70-dsp-v36.rules DESTINATION ${V36_UDEV_RULES_DIR})

# Manual pages, gzipped as distributions ship them.
find_program(V36_GZIP gzip REQUIRED)
set(V36_MAN_PAGES v36ctl)
if(V36_BUILD_GUI)
  list(APPEND V36_MAN_PAGES dsp-v36)
endif()
set(V36_MAN_OUTPUTS)
foreach(page ${V36_MAN_PAGES})
  configure_file(${V36_LINUX_DIR}/${page}.1.in ${V36_GENERATED_DIR}/${page}.1 @ONLY)
  add_custom_command(
    OUTPUT ${V36_GENERATED_DIR}/${page}.1.gz
    COMMAND ${V36_GZIP} -9nf -k ${page}.1
    DEPENDS ${V36_GENERATED_DIR}/${page}.1
    WORKING_DIRECTORY ${V36_GENERATED_DIR}
    COMMENT "Compressing the manual page ${page}.1"
    VERBATIM)
  list(APPEND V36_MAN_OUTPUTS ${V36_GENERATED_DIR}/${page}.1.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${V36_MAN_OUTPUTS})
install(FILES ${V36_MAN_OUTPUTS} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's documentation folder: the copyright and the changelog
# (gzipped, as Debian ships it).
# The release day in the changelog's RFC 2822 form.
execute_process(COMMAND date -u -R -d "${V36_RELEASE_DATE}"
                OUTPUT_VARIABLE V36_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${V36_LINUX_DIR}/debian/changelog.in ${V36_GENERATED_DIR}/changelog @ONLY)
add_custom_command(
  OUTPUT ${V36_GENERATED_DIR}/changelog.gz
  COMMAND ${V36_GZIP} -9nf -k changelog
  DEPENDS ${V36_GENERATED_DIR}/changelog
  WORKING_DIRECTORY ${V36_GENERATED_DIR}
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(package_docs ALL DEPENDS ${V36_GENERATED_DIR}/changelog.gz)
install(FILES ${V36_LINUX_DIR}/debian/copyright ${V36_GENERATED_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dsp-v36)

install(FILES ${V36_LINUX_DIR}/v36ctl.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME v36ctl)

# The desktop: entry, icon, metadata and the file types. Every file is named
# after the desktop id.
if(V36_BUILD_GUI)
  install(TARGETS dsp-v36 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  configure_file(${V36_LINUX_DIR}/dsp-v36.desktop.in
                 ${V36_GENERATED_DIR}/${V36_APP_ID}.desktop @ONLY)
  configure_file(${V36_LINUX_DIR}/dsp-v36.metainfo.xml.in
                 ${V36_GENERATED_DIR}/${V36_APP_ID}.metainfo.xml @ONLY)
  configure_file(${V36_LINUX_DIR}/dsp-v36-mime.xml.in
                 ${V36_GENERATED_DIR}/${V36_APP_ID}.xml @ONLY)
  install(FILES ${V36_GENERATED_DIR}/${V36_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${V36_GENERATED_DIR}/${V36_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${V36_GENERATED_DIR}/${V36_APP_ID}.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${V36_LINUX_DIR}/dsp-v36.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${V36_APP_ID}.svg)
endif()

# The Debian package. dpkg-shlibdeps computes the libraries it depends on
# from the binaries; what they load at run time is named here.
set(CPACK_PACKAGE_NAME dsp-v36)
set(CPACK_PACKAGE_VENDOR "dsp-v36")
set(CPACK_PACKAGE_CONTACT "dsp-v36 maintainers <maintainers@dsp-v36.invalid>"
    CACHE STRING "The maintainer named in the package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program for the V36 karaoke and home-theatre DSP unit")
set(CPACK_PACKAGE_DESCRIPTION
    "dsp-v36 edits every parameter of the V36 DSP effects processor live over USB: inputs, \
equalisers, echo and reverb, outputs with crossovers, delays and compressors, the sound \
field, memory modes, mode files and remote-control learning. v36ctl drives the unit and \
reads mode files from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(V36_BUILD_GUI)
  # Qt's platform plugins are loaded at run time; the CJK font shows the
  # Chinese texts.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev, fonts-noto-cjk")
else()
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${V36_LINUX_DIR}/debian/postinst ${V36_LINUX_DIR}/debian/postrm)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
