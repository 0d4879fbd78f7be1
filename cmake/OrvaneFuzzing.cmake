# Coverage-guided fuzzing with libFuzzer: the kit libraries and the fuzz
# targets are instrumented for coverage and checked by ASan and UBSan, so a
# fuzz input that corrupts memory or hits undefined behaviour is a crash.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz targets need clang (libFuzzer): configure with "
                      "-DCMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer -g)
add_link_options(-fsanitize=address,undefined)

# A libFuzzer executable from <name>.cpp in the calling folder.
function(orvane_fuzz_target name)
  add_executable(${name} ${name}.cpp)
  orvane_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
