# System libraries that the real platform layer links against.
if(WIN32)
  target_link_libraries(runwarden_platform PUBLIC ole32 advapi32 mpr)
endif()
