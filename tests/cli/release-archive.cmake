# The Windows release archive as a user gets it: made by cpack, unpacked into an empty folder, holding
# flintor-calc.exe, the README and the licence, and the program calculating a sample under Wine.
#   cmake -DCPACK=... -DBUILD_DIR=... -DWINE=... -DSAMPLE=... -DWORK=... -P release-archive.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/unpacked)
execute_process(COMMAND ${CPACK} -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK}
                RESULT_VARIABLE made OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(GLOB archives ${WORK}/*.zip)
list(LENGTH archives count)
if(NOT made EQUAL 0 OR NOT count EQUAL 1)
  message(FATAL_ERROR "cpack -G ZIP made no archive:\n${log}")
endif()
file(SIZE ${archives} size)
message(STATUS "${archives}: ${size} bytes")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archives} WORKING_DIRECTORY ${WORK}/unpacked)
file(GLOB_RECURSE contents RELATIVE ${WORK}/unpacked ${WORK}/unpacked/*)
list(SORT contents)
if(NOT contents STREQUAL "LICENSE.txt;README.md;flintor-calc.exe")
  message(FATAL_ERROR "the archive holds ${contents}")
endif()
execute_process(COMMAND ${WINE} ${WORK}/unpacked/flintor-calc.exe --flash 4MB --bootloader psp --mtd5 128K ${SAMPLE}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
# The lines of the README's example (CMake reads CR LF as LF; FlintorCalcTest checks the line ends).
set(expected "mtd0: 0x90022000, 0x903E0000\nmtd1: 0x90020090, 0x90022000\nmtd2: 0x90000000, 0x90010000\n")
string(APPEND expected "mtd3: 0x90010000, 0x90020000\nmtd4: 0x90020000, 0x903E0000\nmtd5: 0x903E0000, 0x90400000\n")
if(NOT status EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "the unpacked flintor-calc.exe exited with ${status}:\n${out}${err}")
endif()
message(STATUS "the unpacked flintor-calc.exe calculates the sample")
