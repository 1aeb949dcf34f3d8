# cmake -DPRODUCT_DIR=<tree>/product -DSCRATCH=<folder> -P version_header_test.cmake
# Configures a scratch project of each version below with the product folder in it, and checks
# the generated version header, or the refusal of a version the code cannot carry.
set(cases
  "1.0.10|0x0001000A"
  "0.0.0|0x00000000"
  "255.255.255|0x00FFFFFF"
  "2.16.3|0x00021003"
  "1.0.256|must have three parts of 0 to 255"
  "1.256.0|must have three parts of 0 to 255"
  "1.0|must have three parts of 0 to 255"
  "1.0.10.2|has a fourth part")
set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 version)
  list(GET case 1 expected)
  set(project "${SCRATCH}/${version}")
  file(REMOVE_RECURSE "${project}")
  file(WRITE "${project}/CMakeLists.txt"
    "cmake_minimum_required(VERSION 3.25)\nproject(Scratch VERSION ${version} LANGUAGES NONE)\n"
    "add_subdirectory(\"${PRODUCT_DIR}\" product)\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${project}" -B "${project}/build"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  if(expected MATCHES "^0x")
    set(header "")
    if(EXISTS "${project}/build/generated/product/version.h")
      file(READ "${project}/build/generated/product/version.h" header)
    endif()
    if(NOT status EQUAL 0 OR NOT header MATCHES "kVersionCode = ${expected};"
       OR NOT header MATCHES "#define TARNWELL_VERSION_TEXT \"${version}\"")
      string(APPEND failures "${version}: wanted ${expected} and the text \"${version}\"; status ${status}: ${header}${output}\n")
    endif()
  elseif(status EQUAL 0 OR NOT output MATCHES "${expected}")
    string(APPEND failures "${version}: wanted the refusal \"${expected}\"; status ${status}: ${output}\n")
  endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
