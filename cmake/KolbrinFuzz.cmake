# The libFuzzer build (tools/fuzz runs it in build-fuzz). Included only with KOLBRIN_FUZZ.
#
# Every target of this build is compiled with coverage instrumentation and the address and
# undefined-behaviour sanitizers, so the fuzzers are guided through our libraries' code and any
# report ends the run as a crash. Only the fuzz targets are meant to be built here.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KOLBRIN_FUZZ needs clang (configure with CC=clang CXX=clang++)")
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)

# tools/fuzz runs the fuzzers named in this list, one a line.
set(KOLBRIN_FUZZER_LIST ${CMAKE_BINARY_DIR}/fuzz/fuzzers.txt)
file(WRITE ${KOLBRIN_FUZZER_LIST} "")
add_custom_target(kolbrin_fuzzers)

# kolbrin_add_fuzzer(NAME SOURCES... [LIBS libs...])
# The sources define LLVMFuzzerTestOneInput. Seed inputs go in tests/fuzz/corpus/NAME/, a
# libFuzzer dictionary in tests/fuzz/NAME.dict; both are optional.
function(kolbrin_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${name} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz AUTOMOC OFF)
    kolbrin_warnings(${name})
    add_dependencies(kolbrin_fuzzers ${name})
    file(APPEND ${KOLBRIN_FUZZER_LIST} "${name}\n")
endfunction()
