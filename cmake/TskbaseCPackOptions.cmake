# Read by cpack for each generator (CPACK_PROJECT_CONFIG_FILE).
# Each Debian package's description starts with its own synopsis line; CPack
# would put the project's one summary in front of both.
if(CPACK_GENERATOR STREQUAL "DEB")
  unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
endif()
