# The Windows program's version resource and application manifest, compiled with windres
# into an object linked into runwarden.exe. Both take the project version; the copyright
# line is the one of LICENSE.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE RUNWARDEN_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
set(RUNWARDEN_RESOURCE_DIR ${CMAKE_BINARY_DIR}/resources)
foreach(file runwarden.rc runwarden.exe.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/src/resources/${file}.in ${RUNWARDEN_RESOURCE_DIR}/${file}
                 @ONLY)
endforeach()
add_custom_command(
  OUTPUT ${RUNWARDEN_RESOURCE_DIR}/runwarden_rc.o
  COMMAND ${CMAKE_RC_COMPILER} -O coff -I ${RUNWARDEN_RESOURCE_DIR}
          -i ${RUNWARDEN_RESOURCE_DIR}/runwarden.rc -o ${RUNWARDEN_RESOURCE_DIR}/runwarden_rc.o
  DEPENDS ${RUNWARDEN_RESOURCE_DIR}/runwarden.rc ${RUNWARDEN_RESOURCE_DIR}/runwarden.exe.manifest
  VERBATIM)
target_sources(runwarden PRIVATE ${RUNWARDEN_RESOURCE_DIR}/runwarden_rc.o)
