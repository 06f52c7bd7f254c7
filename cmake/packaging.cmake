# Installation and the Debian package of the Linux program:
#   cmake --build --preset linux && (cd build/linux && cpack -G DEB)
# gives build/linux/runwarden_<version>_<arch>.deb with the program in /usr/bin and the
# manual page runwarden(1), and the README with the pages of docs/ beside it, so that
# their relative links hold in /usr/share/doc/runwarden.
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
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN monitoring EXCLUDE)
# The command definitions for monitoring engines, ready to include.
install(FILES ${CMAKE_SOURCE_DIR}/docs/monitoring/runwarden-nagios.cfg
              ${CMAKE_SOURCE_DIR}/docs/monitoring/runwarden-icinga2.conf
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME runwarden)
set(CPACK_PACKAGE_VENDOR "runwarden")
set(CPACK_PACKAGE_CONTACT "runwarden maintainers <maintainers@runwarden.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "check that a scheduled task last ran in time and succeeded")
set(CPACK_PACKAGE_DESCRIPTION
    "runwarden is a script check for monitoring hosts. It verifies that a systemd service\n\
or timer, on this or on a remote computer (through ssh), last ran inside an expected\n\
time frame and ended with exit code 0, and prints one result line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # libc6 and libsystemd0 from the program
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "openssh-client")
include(CPack)
