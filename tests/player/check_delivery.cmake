# cmake -DSOURCE_DIR=<project> -DWORK_DIR=<scratch> -DGENERATOR=<generator> -P check_delivery.cmake
# Runs the asset rules alone, delivering into WORK_DIR/bin, twice: the first
# delivery holds the chimes and no bindings file; a yygj the user put there
# before the second delivery comes out of it byte for byte.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/src)
file(WRITE ${WORK_DIR}/src/CMakeLists.txt
     "cmake_minimum_required(VERSION 3.25)\n"
     "project(delivery_probe NONE)\n"
     "set(PLOVI_DELIVERY_DIR \"${WORK_DIR}/bin\")\n"
     "add_subdirectory(\"${SOURCE_DIR}/assets\" assets)\n")

function(deliver)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK_DIR}/src -B ${WORK_DIR}/build -G ${GENERATOR}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "configuring the asset rules failed: ${errors}")
  endif()
endfunction()

deliver()
foreach(chime msgcome.wav buddycome.wav)
  if(NOT EXISTS ${WORK_DIR}/bin/${chime})
    message(FATAL_ERROR "${chime} was not delivered")
  endif()
endforeach()
if(EXISTS ${WORK_DIR}/bin/yygj)
  message(FATAL_ERROR "a bindings file yygj was delivered: a first start would not show every slot unset")
endif()

set(user_bindings "\"/home/u/a.mp3\",\"a\"\r\n")
file(WRITE ${WORK_DIR}/bin/yygj "${user_bindings}")
deliver()
file(SHA256 ${WORK_DIR}/bin/yygj kept)
string(SHA256 written "${user_bindings}")
if(NOT kept STREQUAL written)
  message(FATAL_ERROR "the user's yygj was changed by a delivery")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
