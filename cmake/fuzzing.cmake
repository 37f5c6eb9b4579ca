# The fuzz build: clang's libFuzzer with the address and undefined-behaviour
# sanitizers, in a build folder of its own (./run fuzz). Every library the
# fuzz targets reach is instrumented, so the fuzzer sees its branches.
option(CALVIMORA_FUZZ "Build the fuzz targets in fuzz/ (clang only)" OFF)
if(CALVIMORA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "CALVIMORA_FUZZ needs clang++ as CMAKE_CXX_COMPILER")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
