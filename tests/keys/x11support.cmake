# The window the X11 keystroke tests type into, and the Xvfb helpers; shared by the keystroke
# tests and the typing benchmark, so either can be built without the other.
if(NOT TARGET keys_x11_target)
    add_executable(keys_x11_target ${CMAKE_CURRENT_LIST_DIR}/x11target.cpp)
    target_link_libraries(keys_x11_target PRIVATE Qt6::Widgets)
    kolbrin_warnings(keys_x11_target)
    # A plain Qt program standing in for the user's application: in a sanitizer build the
    # system's keyboard library inside it (libxkbcommon-x11) trips strict_string_checks, which
    # says nothing about our code.
    if(KOLBRIN_SANITIZE)
        target_compile_options(keys_x11_target PRIVATE -fno-sanitize=all)
        target_link_options(keys_x11_target PRIVATE -fno-sanitize=all)
    endif()

    add_library(keys_x11support STATIC
        ${CMAKE_CURRENT_LIST_DIR}/x11session.cpp ${CMAKE_CURRENT_LIST_DIR}/x11session.h)
    target_include_directories(keys_x11support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(keys_x11support PUBLIC Qt6::Core ${X11_LIBRARY})
    target_compile_definitions(keys_x11support PUBLIC
        KEYS_X11_TARGET="$<TARGET_FILE:keys_x11_target>")
    add_dependencies(keys_x11support keys_x11_target)
    kolbrin_warnings(keys_x11support)
endif()
