# cmake -DSTAGE=<folder> -DGROFF=<groff> -P check_man_pages.cmake
# Every installed man page (UTF-8: some are Czech) formats without a warning.
cmake_minimum_required(VERSION 3.25)
file(GLOB pages ${STAGE}/usr/share/man/man*/*.gz)
if(NOT pages)
  message(FATAL_ERROR "no man pages installed")
endif()
foreach(page ${pages})
  execute_process(COMMAND gzip -dc ${page}
    COMMAND ${GROFF} -Kutf-8 -man -ww -z -Tutf8
    RESULT_VARIABLE status ERROR_VARIABLE warnings)
  if(NOT status EQUAL 0 OR warnings)
    message(SEND_ERROR "${page}:\n${warnings}")
  endif()
endforeach()
