# cmake -DBUILD=<build folder> -DSTAGE=<folder> -P stage_install.cmake
# A fresh `cmake --install` of BUILD into STAGE (DESTDIR), prefix /usr as the package has.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${STAGE})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE} ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status})")
endif()
