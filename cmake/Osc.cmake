# Project-wide compile settings and the helpers every folder uses.

set(OSC_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wnon-virtual-dtor)

set(OSC_SAN_FLAGS "")
if(OSC_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "OSC_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Coverage for libFuzzer in every library, with ASan and UBSan; fuzz programs add
  # -fsanitize=fuzzer when they link.
  set(OSC_SAN_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
elseif(OSC_SANITIZE)
  set(OSC_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
elseif(OSC_TSAN)
  set(OSC_SAN_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
endif()
if(OSC_SAN_FLAGS)
  add_compile_options(${OSC_SAN_FLAGS})
  add_link_options(${OSC_SAN_FLAGS})
endif()

# osc_library(<name> [QT] SOURCES ... DEPS ...)
# One static library per folder; a target with no sources yet becomes an INTERFACE library.
function(osc_library name)
  cmake_parse_arguments(A "QT" "" "SOURCES;DEPS" ${ARGN})
  if(A_SOURCES)
    add_library(${name} STATIC ${A_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${OSC_WARNINGS})
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
endfunction()

# osc_executable(<name> SOURCES ... DEPS ...)
function(osc_executable name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${OSC_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
endfunction()
