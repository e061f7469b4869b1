# What `cmake --install` puts where (GNU directories under the prefix), and the
# Debian package CPack makes of it.
include(GNUInstallDirs)

# camknobd and camknobd-sim are built only where cpp-httplib is found.
set(daemons)
if(TARGET camknobd)
  set(daemons camknobd camknobd-sim)
endif()
install(TARGETS camknob camknob-profile camknob-sim camknob-profile-sim ${daemons}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages, compressed as Debian keeps them where gzip is at hand.
set(man_pages camknob.1 camknob-profile.1 camknob-sim.1)
if(daemons)
  list(APPEND man_pages camknobd.1)
endif()
find_program(GZIP gzip)
foreach(page ${man_pages})
  if(GZIP)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND ${GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/man/${page} > ${compressed}
      DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}
      VERBATIM)
    list(APPEND installed_man_pages ${compressed})
  else()
    list(APPEND installed_man_pages ${PROJECT_SOURCE_DIR}/man/${page})
  endif()
endforeach()
add_custom_target(camknob_man_pages ALL DEPENDS ${installed_man_pages})
install(FILES ${installed_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# camknob-profile-sim is described in camknob-sim(1), which its name opens;
# camknobd-sim in camknobd(1).
if(GZIP)
  set(page_suffix .gz)
endif()
set(linked_man_pages "camknob-profile-sim camknob-sim")
if(daemons)
  list(APPEND linked_man_pages "camknobd-sim camknobd")
endif()
foreach(link ${linked_man_pages})
  separate_arguments(link)
  list(GET link 0 name)
  list(GET link 1 target)
  install(CODE "
    set(man1 \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1\")
    file(CREATE_LINK ${target}.1${page_suffix} \"\${man1}/${name}.1${page_suffix}\" SYMBOLIC)
    message(STATUS \"Installing: \${man1}/${name}.1${page_suffix}\")")
endforeach()

# bash-completion loads a command's completion by the command's name; the one
# file serves them all.
foreach(program camknob camknob-profile camknob-sim camknob-profile-sim ${daemons})
  install(FILES completion/camknob.bash DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
          RENAME ${program})
endforeach()
install(FILES completion/_camknob DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/zsh/vendor-completions)

file(GLOB schemas ${PROJECT_SOURCE_DIR}/schema/camknob-*.schema.json)
if(daemons)
  file(GLOB daemon_schemas ${PROJECT_SOURCE_DIR}/schema/camknobd-*.schema.json)
  list(APPEND schemas ${daemon_schemas})
endif()
install(FILES ${schemas} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/camknob)

# Applying a profile when a camera is plugged in: the user service is ready to
# use; the udev rule names a camera, so it is an example to copy and edit.
# systemd's units are for Linux; a Mac gets camknobd's launchd agent instead.
if(NOT APPLE)
  install(FILES examples/profiles/camknob-profile@.service DESTINATION lib/systemd/user)
endif()
# camknobd as the user's service, started by the path it is installed at: the
# unit is made as it is installed, since CPack installs under a prefix of its
# own (/usr) rather than the one configured.
if(daemons AND NOT APPLE)
  set(unit_bindir "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}")
  if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
    set(unit_bindir "${CMAKE_INSTALL_BINDIR}")
  endif()
  set(unit ${CMAKE_CURRENT_BINARY_DIR}/camknobd.service)
  install(CODE "
    set(CAMKNOBD_PATH \"${unit_bindir}/camknobd\")
    configure_file(\"${PROJECT_SOURCE_DIR}/examples/camknobd/camknobd.service.in\" \"${unit}\"
                   @ONLY)")
  install(FILES ${unit} DESTINATION lib/systemd/user)
endif()
# On a Mac, its launchd agent in share/camknob/, to copy to
# ~/Library/LaunchAgents/ (README, macOS), made alike as it is installed.
if(daemons AND APPLE)
  set(agent ${CMAKE_CURRENT_BINARY_DIR}/org.camknob.camknobd.plist)
  install(CODE "
    include(\"${PROJECT_SOURCE_DIR}/cmake/launchd_agent.cmake\")
    camknob_make_launchd_agent(\"\${CMAKE_INSTALL_PREFIX}\" \"${CMAKE_INSTALL_BINDIR}\" \"${agent}\")")
  install(FILES ${agent} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/camknob)
endif()
install(FILES examples/profiles/90-camknob-profile.rules examples/profiles/camknob-profile@.service
              examples/demo-system.json examples/usb-camera.json
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(PROGRAMS examples/try-every-command.sh DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME camknob)
set(CPACK_PACKAGE_VENDOR "camknob")
set(CPACK_PACKAGE_CONTACT "camknob developers <camknob@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list and change the controls of video cameras")
set(CPACK_PACKAGE_DESCRIPTION
    "camknob lists the video cameras of the machine with every control they\n"
    "expose (brightness, exposure, white balance, zoom, focus, pan/tilt, ...)\n"
    "and changes them. Each run prints one JSON line, for scripts and front\n"
    "ends. camknob-profile saves a camera's settings and applies them again,\n"
    "for instance when the camera is plugged in. camknob-sim and\n"
    "camknob-profile-sim run the same commands over a simulated camera system.")
if(daemons)
  list(APPEND CPACK_PACKAGE_DESCRIPTION
      "\ncamknobd keeps the cameras open behind a local HTTP API with an event\n"
      "stream, for control panels and button boxes, as the user's service.")
endif()
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs load, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Live completion of device names and kinds reads `camknob list` with either.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jq | python3, bash-completion")
set(CPACK_STRIP_FILES ON)
include(CPack)
