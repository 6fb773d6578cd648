# Run by CPack on the staged files of the Debian package, before it is packed:
# a game's executable lives in /usr/games there (the plain install keeps bin/;
# either way the data folder is found from the folder above the executable's),
# stripped as Debian's own packages are, and the desktop entry starts it from
# there. The lintian tags the package keeps on purpose go with it, each with
# its reason (dist/lintian-overrides).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
file(MAKE_DIRECTORY ${root}/games)
file(RENAME ${root}/bin/corvusraiders ${root}/games/corvusraiders)
file(REMOVE_RECURSE ${root}/bin)  # it held the executable alone
execute_process(COMMAND ${CPACK_CORVUS_STRIP} --remove-section=.comment --remove-section=.note
                        ${root}/games/corvusraiders
                COMMAND_ERROR_IS_FATAL ANY)
set(entry ${root}/share/applications/${CPACK_CORVUS_APP_ID}.desktop)
file(READ ${entry} text)
string(REPLACE "\nExec=corvusraiders\n" "\nExec=${CPACK_PACKAGING_INSTALL_PREFIX}/games/corvusraiders\n" text "${text}")
file(WRITE ${entry} "${text}")
file(MAKE_DIRECTORY ${root}/share/lintian/overrides)
file(COPY_FILE ${CPACK_CORVUS_DIST_DIR}/lintian-overrides
     ${root}/share/lintian/overrides/corvusraiders)
