# Script mode: builds the consumer against the unpacked artefacts under
# PREFIX, with find_package and with pkg-config, and runs it. SCRATCH is the
# consumer's build folder; see tests/install/ConsumerBuild.cmake for the rest.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../install/ConsumerBuild.cmake)

file(REMOVE_RECURSE ${SCRATCH})
consumer_with_find_package(${PREFIX} ${SCRATCH})
consumer_with_pkg_config(${PREFIX} ${SCRATCH})
