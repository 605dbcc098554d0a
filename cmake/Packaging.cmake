# Install rules (cmake --install) and packages (cpack) for the three programs
# and what goes with them. Included at the end of the top-level CMakeLists.txt,
# so every program target is known; a program that this build does not make
# (no window without QUARNEL_WITH_QT) is left out with everything that
# belongs to it.
#
#   Linux:   cpack -G DEB  ->  quarnel_<version>_<arch>.deb  (scripts/package.sh)
#   Windows: cpack -G ZIP  ->  quarnel-<version>-win64.zip
#            the target msi ->  quarnel-<version>-x64.msi (wixl, from msitools)
include(GNUInstallDirs)

set(QUARNEL_APP_ID org.quarnel.Quarnel)
set(QUARNEL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QUARNEL_PACKAGE_MAINTAINER "The Quarnel developers <maintainers@quarnel.invalid>"
    CACHE STRING "Maintainer named in the Debian package: Name <address>")

set(quarnel_programs "")
foreach(program quarnel quarnel-station quarnel-cli quarnel-target-sim)
  if(TARGET ${program})
    list(APPEND quarnel_programs ${program})
  endif()
endforeach()

if(WIN32)
  # The archive is one folder: the programs, the README and the license side
  # by side. Each program is linked statically and needs nothing else. The
  # programs are those that declared their resources (quarnel_windows_program
  # in cmake/windows.cmake).
  get_property(quarnel_programs GLOBAL PROPERTY QUARNEL_WINDOWS_PROGRAMS)
  if(quarnel_programs)
    install(TARGETS ${quarnel_programs} RUNTIME DESTINATION .)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "quarnel-${PROJECT_VERSION}-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

  # The installer (cmake --build B --target msi): the files the archive holds,
  # installed stripped into files/ beside the WiX source, which names them
  # relative to its own folder as wixl wants; then packed by
  # packaging/windows/make-msi.sh from packaging/windows/quarnel.wxs.in. Each
  # program is a component of its own, with its Start-menu entry when
  # quarnel_windows_program() named one.
  set(msi_dir ${CMAKE_BINARY_DIR}/packaging/windows)
  set(quarnel_msi_files files)
  set(quarnel_msi_components "")
  set(quarnel_msi_component_refs "")
  foreach(program ${quarnel_programs})
    string(MAKE_C_IDENTIFIER ${program} id)
    set(file "<File Id=\"${id}.exe\" Source=\"${quarnel_msi_files}/${program}.exe\" KeyPath=\"yes\"")
    get_target_property(menu_name ${program} QUARNEL_START_MENU)
    if(menu_name)
      string(APPEND file ">\n"
             "              <Shortcut Id=\"${id}_menu\" Directory=\"ProgramMenuFolder\" Name=\"${menu_name}\"\n"
             "                        Icon=\"quarnel.ico\" WorkingDirectory=\"INSTALLDIR\"/>\n"
             "            </File>")
    else()
      string(APPEND file "/>")
    endif()
    string(APPEND quarnel_msi_components
           "          <Component Id=\"${id}\" Guid=\"*\" Win64=\"yes\">\n"
           "            ${file}\n"
           "          </Component>\n")
    string(APPEND quarnel_msi_component_refs "      <ComponentRef Id=\"${id}\"/>\n")
  endforeach()
  string(REGEX REPLACE "\n$" "" quarnel_msi_components "${quarnel_msi_components}")
  string(REGEX REPLACE "\n$" "" quarnel_msi_component_refs "${quarnel_msi_component_refs}")
  configure_file(${QUARNEL_PACKAGING_DIR}/windows/quarnel.wxs.in ${msi_dir}/quarnel.wxs @ONLY)

  set(msi ${CMAKE_BINARY_DIR}/package/quarnel-${PROJECT_VERSION}-x64.msi)
  add_custom_command(
    OUTPUT ${msi}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${msi_dir}/${quarnel_msi_files}
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${msi_dir}/${quarnel_msi_files} --strip
    COMMAND ${QUARNEL_PACKAGING_DIR}/windows/make-msi.sh ${msi_dir}/quarnel.wxs ${msi}
    DEPENDS ${quarnel_programs} ${msi_dir}/quarnel.wxs ${QUARNEL_WINDOWS_ICON}
            ${QUARNEL_PACKAGING_DIR}/windows/make-msi.sh ${QUARNEL_PACKAGING_DIR}/windows/Environment.idt
            ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Making the Windows installer ${msi}")
  add_custom_target(msi DEPENDS ${msi})
else()
  install(TARGETS ${quarnel_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Manual pages: the version filled in, compressed as Debian expects.
  # README.md is compressed too, as every document in the package over 4 kB.
  set(compressed_files "")
  function(quarnel_gzip source output)
    add_custom_command(
      OUTPUT ${output}
      COMMAND gzip -9 -n -c ${source} > ${output}
      DEPENDS ${source}
      COMMENT "Compressing ${output}")
    set(compressed_files ${compressed_files} ${output} PARENT_SCOPE)
  endfunction()

  set(man_pages "")
  foreach(program ${quarnel_programs})
    set(page ${CMAKE_BINARY_DIR}/packaging/man/${program}.1)
    configure_file(${QUARNEL_PACKAGING_DIR}/man/${program}.1 ${page} @ONLY)
    quarnel_gzip(${page} ${page}.gz)
    list(APPEND man_pages ${page}.gz)
  endforeach()
  set(readme ${CMAKE_BINARY_DIR}/packaging/README.md.gz)
  quarnel_gzip(${PROJECT_SOURCE_DIR}/README.md ${readme})
  add_custom_target(quarnel_compressed_docs ALL DEPENDS ${compressed_files})

  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${readme} DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The license, in the machine-readable form of Debian's copyright files.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  string(FIND "${license}" "Permission is hereby granted" license_start)
  string(SUBSTRING "${license}" ${license_start} -1 license)
  string(STRIP "${license}" license)
  string(REPLACE "\n\n" "\n.\n" license "${license}")
  string(REPLACE "\n" "\n " license "${license}")
  set(QUARNEL_LICENSE_TEXT " ${license}")
  configure_file(${QUARNEL_PACKAGING_DIR}/debian/copyright.in
                 ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The window in the desktop's menu.
  if(TARGET quarnel)
    install(FILES ${QUARNEL_PACKAGING_DIR}/${QUARNEL_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${QUARNEL_PACKAGING_DIR}/${QUARNEL_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    install(FILES ${QUARNEL_PACKAGING_DIR}/icons/${QUARNEL_APP_ID}.svg
            DESTINATION ${icons}/scalable/apps)
    foreach(size 16 24 32 48 64 128 256)
      install(FILES ${QUARNEL_PACKAGING_DIR}/icons/hicolor/${size}x${size}/${QUARNEL_APP_ID}.png
              DESTINATION ${icons}/${size}x${size}/apps)
    endforeach()
  endif()
  # The station's window beside it, with an entry and an icon of its own.
  if(TARGET quarnel-station)
    set(station_id org.quarnel.Station)
    install(FILES ${QUARNEL_PACKAGING_DIR}/${station_id}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    install(FILES ${QUARNEL_PACKAGING_DIR}/icons/${station_id}.svg DESTINATION ${icons}/scalable/apps)
    foreach(size 16 24 32 48 64 128 256)
      install(FILES ${QUARNEL_PACKAGING_DIR}/icons/hicolor/${size}x${size}/${station_id}.png
              DESTINATION ${icons}/${size}x${size}/apps)
    endforeach()
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUARNEL_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the programs link, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  if(TARGET quarnel)
    # Qt loads its platform plugins (X11, offscreen, ...) at run time, so no
    # library dependency names them; without one the window cannot start.
    # The window's labels and buttons are cut to the widths of Liberation
    # Sans Narrow, which fontconfig finds by name, not as a library.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
  endif()

  # The long description under CPACK_PACKAGE_DESCRIPTION_SUMMARY, in lines
  # that fit a terminal; CPack indents them and writes empty lines as " .".
  string(CONCAT description
         "Quarnel programs encrypted firmware images (.cry files) into PIC\n"
         "microcontroller targets through the bootloader resident on the target,\n"
         "over a serial port. It captures the target into its loader mode, erases\n"
         "it, sends the image block by block with acknowledgements and\n"
         "retransmission, and resets the target.\n"
         "\n")
  if(TARGET quarnel)
    string(APPEND description " * quarnel: the window, guided for operators, full for engineers\n")
  endif()
  if(TARGET quarnel-cli)
    string(APPEND description " * quarnel-cli: the same sequence without a display\n")
  endif()
  if(TARGET quarnel-target-sim)
    string(APPEND description " * quarnel-target-sim: a simulated target, for work without hardware\n")
  endif()
  string(APPEND description
         "\n"
         "Serial ports belong to the dialout group: every user who programs\n"
         "targets must be a member of it (sudo adduser USER dialout, then log in\n"
         "again).")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${description}")
endif()

set(CPACK_PACKAGE_NAME quarnel)
set(CPACK_PACKAGE_VENDOR "The Quarnel developers")
set(CPACK_PACKAGE_CONTACT "${QUARNEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "program encrypted firmware into PIC targets over a serial port")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
include(CPack)
