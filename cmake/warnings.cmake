add_compile_options(-Wall -Wextra)
# The builds the project's own script makes (and so CI) turn every warning
# into an error, which keeps them at none.
option(CALVIMORA_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
if(CALVIMORA_WARNINGS_AS_ERRORS)
  add_compile_options(-Werror)
endif()
if(CALVIMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  # The sanitizers' instrumentation leads GCC's flow analysis to report
  # values as maybe uninitialized inside the standard library (std::regex,
  # std::function) that are not; the plain build keeps the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()
