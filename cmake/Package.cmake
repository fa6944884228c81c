# The installed layout and the Debian package (cpack -G DEB).
#
# The programs look for their notice texts, help, icons and sound in their
# own folder, so they are installed together with that data in
# lib/egresso; bin/ holds launchers that start them from there and give the
# board a writable per-user data folder.
set(EGRESSO_PROGRAM_DEST lib/egresso)

install(TARGETS egresso RUNTIME DESTINATION ${EGRESSO_PROGRAM_DEST})
# The sound player and print modules, which the program loads from its own folder.
install(TARGETS egresso_sound egresso_print LIBRARY DESTINATION ${EGRESSO_PROGRAM_DEST})
if(TARGET egresso-cli)
  install(TARGETS egresso-cli RUNTIME DESTINATION ${EGRESSO_PROGRAM_DEST})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${EGRESSO_PROGRAM_DEST})
foreach(program egresso egresso-cli)
  install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/launcher.sh DESTINATION bin RENAME ${program})
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/packaging/egresso.desktop DESTINATION share/applications)
foreach(size 16 32 48 64 128)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/${size}x${size}/egresso.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual pages go in compressed, without a time stamp so that builds match.
set(EGRESSO_MAN_PAGES)
foreach(page egresso.1 egresso-cli.1)
  set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND sh -c [[gzip -9n < "$0" > "$1"]] ${CMAKE_SOURCE_DIR}/packaging/${page} ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${page}
    COMMENT "Compressing ${page}" VERBATIM)
  list(APPEND EGRESSO_MAN_PAGES ${out})
endforeach()
add_custom_target(egresso_man ALL DEPENDS ${EGRESSO_MAN_PAGES})
install(FILES ${EGRESSO_MAN_PAGES} DESTINATION share/man/man1)

set(CPACK_PACKAGE_NAME egresso)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Egresso developers <egresso@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "office in/out board with phone messages")
set(CPACK_PACKAGE_DESCRIPTION "Shows who in the office is out, where and until when, and carries the
messages colleagues leave for each other. All workstations share one data
folder on a network drive. Includes egresso-cli for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so not found by the library scan: the X11/Wayland
# platform plugins, and the audio back ends of Qt Multimedia through which
# the program plays its alarm itself. Help pages open in the desktop's browser.
# libical, which the calendar feed needs, the scan finds too; it is named
# here so that the package says so even where the scan cannot run.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6multimedia6, libical3, libsodium23")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
