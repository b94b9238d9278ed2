# Strict warnings for our own targets only; third-party headers come in as system includes.
# Under clang the lock annotations (platform/threadAnnotations.h) are checked as well.
function(dravix_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        target_compile_options(${target} PRIVATE -Wthread-safety)
    endif()
endfunction()
