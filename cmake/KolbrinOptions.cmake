# Compiler settings shared by every target of the project.

if(KOLBRIN_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# Warnings are errors on our own code; third-party headers come in as system headers.
function(kolbrin_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                           -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused
                           -Woverloaded-virtual -Werror)
    # GCC 12 reports false positives for std::optional of Qt types at -O2.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
endfunction()

# Same warnings for plain C++ targets that must not see Qt's exceptions to them.
function(kolbrin_warnings_c target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()
