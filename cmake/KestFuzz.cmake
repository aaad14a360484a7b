# The libFuzzer build (clang only). Every target, the library included, carries coverage
# instrumentation and the sanitizers, so a fault is found on whichever side of the C boundary
# it happens and the fuzzer can steer by the library's branches too.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "KEST_FUZZ needs clang with libFuzzer: configure with `cmake --preset fuzz`")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
