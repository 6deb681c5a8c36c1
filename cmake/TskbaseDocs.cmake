# The API reference: HTML from the public headers by Doxygen, written to
# <build>/docs/html (target docs; ./build.sh docs builds it in build/linux).
# A warning, such as a public declaration without a documentation comment,
# fails the target, and the test api_reference runs it with the tests.
set(TSKBASE_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
set(TSKBASE_DOXYFILE ${TSKBASE_DOCS_DIR}/Doxyfile)
configure_file(docs/Doxyfile.in ${TSKBASE_DOXYFILE} @ONLY)

# Without doxygen (./build.sh installs it) the target and the test fail.
find_program(TSKBASE_DOXYGEN doxygen)
add_custom_target(docs
  COMMAND ${TSKBASE_DOXYGEN} ${TSKBASE_DOXYFILE}
  COMMENT "API reference: ${TSKBASE_DOCS_DIR}/html/index.html"
  VERBATIM)

# Checked once, in the native unsanitized configuration.
if(TSKBASE_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING AND NOT TSKBASE_SANITIZE)
  add_test(NAME api_reference COMMAND ${TSKBASE_DOXYGEN} ${TSKBASE_DOXYFILE})
endif()
