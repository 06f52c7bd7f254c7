# System libraries that the real platform layer links against.
if(WIN32)
  target_link_libraries(runwarden_platform PUBLIC ole32 oleaut32 advapi32 mpr)
else()
  # sd-bus: the systemd manager is the scheduler on Linux.
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBSYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
  target_link_libraries(runwarden_platform PUBLIC PkgConfig::LIBSYSTEMD)
endif()
