# Installation of the Linux program: the program in bin, the manual page runwarden(1), and
# the README with the CHANGELOG and the pages of docs/ beside it, so that their relative
# links hold in share/doc/runwarden. scripts/debian-package makes the Debian package of
# these files.
include(GNUInstallDirs)

install(TARGETS runwarden RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian installs manual pages compressed.
set(RUNWARDEN_MAN_PAGE ${CMAKE_BINARY_DIR}/runwarden.1.gz)
add_custom_command(
  OUTPUT ${RUNWARDEN_MAN_PAGE}
  COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/docs/runwarden.1 > ${RUNWARDEN_MAN_PAGE}
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/runwarden.1
  VERBATIM)
add_custom_target(runwarden_man_page ALL DEPENDS ${RUNWARDEN_MAN_PAGE})
install(FILES ${RUNWARDEN_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN monitoring EXCLUDE)
# The set-ups for monitoring engines, ready to copy: every file of docs/monitoring.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/monitoring/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
