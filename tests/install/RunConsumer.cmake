# Script mode: installs the build tree BUILD_DIR into a scratch prefix and
# builds the consumer against it with find_package and with pkg-config (see
# ConsumerBuild.cmake for the other variables).
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/ConsumerBuild.cmake)

set(prefix ${SCRATCH}/prefix)
file(REMOVE_RECURSE ${SCRATCH})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
consumer_with_find_package(${prefix} ${SCRATCH})
consumer_with_pkg_config(${prefix} ${SCRATCH})
