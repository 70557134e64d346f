# cmake -DSTAGE=<folder> -DVERSION=<x.y> -P check_command_line.cmake
# Each installed program, run without a display: --help succeeds and every option it
# lists is in the program's man page; an unknown option ends with the program's usage
# status (2; osc-record's is 1, as a logger's scripts expect) and says which;
# osciloskop --version prints its version.
cmake_minimum_required(VERSION 3.25)
set(run ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM)
file(GLOB programs ${STAGE}/usr/bin/*)
foreach(program ${programs})
  get_filename_component(name ${program} NAME)
  execute_process(COMMAND ${run} ${program} --help RESULT_VARIABLE status OUTPUT_VARIABLE help ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR help STREQUAL "")
    message(SEND_ERROR "${name} --help: status ${status}, stderr: ${err}")
  endif()
  execute_process(COMMAND gzip -dc ${STAGE}/usr/share/man/man1/${name}.1.gz OUTPUT_VARIABLE page)
  string(REPLACE "\\-" "-" page "${page}")
  string(REGEX MATCHALL "--[a-z][a-z0-9-]*" options "${help}")
  list(REMOVE_DUPLICATES options)
  foreach(option ${options})
    string(FIND "${page}" "${option}" at)
    if(at LESS 0)
      message(SEND_ERROR "${name}: ${option} is listed by --help but not in the man page")
    endif()
  endforeach()

  set(usage 2)
  if(name STREQUAL "osc-record")
    set(usage 1)
  endif()
  execute_process(COMMAND ${run} ${program} --no-such-option
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL usage OR NOT out STREQUAL "" OR NOT err MATCHES "no-such-option")
    message(SEND_ERROR "${name} --no-such-option: status ${status} (${usage} wanted), stdout '${out}', stderr '${err}'")
  endif()
endforeach()

execute_process(COMMAND ${run} ${STAGE}/usr/bin/osciloskop --version RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "Osciloskop ${VERSION}\n")
  message(SEND_ERROR "osciloskop --version: status ${status}, '${out}'")
endif()
