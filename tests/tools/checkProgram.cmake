# Runs one program and checks its exit status and output; used as a CTest test script.
#   cmake -DPROGRAM=path [-DARGUMENT=arg] -DEXPECT_STATUS=n [-DEXPECT_STDOUT=regex]
#         [-DEXPECT_STDERR=regex] [-DEXPECT_LOG=regex] -P checkProgram.cmake
# EXPECT_LOG is matched against the library's log file, $HOME/dravix.log, which is removed first.
# Each output loses one final line end before it is matched, so "^...$" means one whole line.
set(command "${PROGRAM}")
if(DEFINED ARGUMENT)
    list(APPEND command "${ARGUMENT}")
endif()
set(log_file "$ENV{HOME}/dravix.log")
if(DEFINED EXPECT_LOG)
    file(REMOVE "${log_file}")
endif()
execute_process(
    COMMAND ${command}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
)
string(REGEX REPLACE "\n$" "" out "${out}")
string(REGEX REPLACE "\n$" "" err "${err}")
message("status: ${status}\nstdout:\n${out}\nstderr:\n${err}")
if(NOT status STREQUAL EXPECT_STATUS)
    message(FATAL_ERROR "expected exit status ${EXPECT_STATUS}, got ${status}")
endif()
if(DEFINED EXPECT_STDOUT AND NOT out MATCHES "${EXPECT_STDOUT}")
    message(FATAL_ERROR "stdout does not match: ${EXPECT_STDOUT}")
endif()
if(DEFINED EXPECT_STDERR AND NOT err MATCHES "${EXPECT_STDERR}")
    message(FATAL_ERROR "stderr does not match: ${EXPECT_STDERR}")
endif()
if(DEFINED EXPECT_LOG)
    if(NOT EXISTS "${log_file}")
        message(FATAL_ERROR "no log file ${log_file}")
    endif()
    file(READ "${log_file}" log)
    message("log:\n${log}")
    if(NOT log MATCHES "${EXPECT_LOG}")
        message(FATAL_ERROR "the log does not match: ${EXPECT_LOG}")
    endif()
endif()
