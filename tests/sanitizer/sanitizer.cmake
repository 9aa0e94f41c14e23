# The sanitized build (ORVESSA_SANITIZE): every program carries its sanitizer options and the
# leak suppressions of tests/sanitizer/lsan.supp in itself, so a program started without the
# environment (a test runs the package under `env -i`) reports what the test run reports.
# Included from the top CMakeLists.txt after every target is defined.

# A UBSan finding fails the run like an ASan one, with the stack that led to it.
set(ORVESSA_ASAN_OPTIONS "detect_leaks=1")
set(ORVESSA_UBSAN_OPTIONS "halt_on_error=1:print_stacktrace=1")

set(supp_file ${CMAKE_CURRENT_LIST_DIR}/lsan.supp)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${supp_file})
file(STRINGS ${supp_file} supp_lines REGEX "^leak:")
list(JOIN supp_lines "\n" ORVESSA_LSAN_SUPPRESSIONS)
configure_file(${CMAKE_CURRENT_LIST_DIR}/sanitizer_defaults.cpp.in
               ${CMAKE_BINARY_DIR}/sanitizer/sanitizer_defaults.cpp @ONLY)
add_library(orvessa_sanitizer_defaults OBJECT ${CMAKE_BINARY_DIR}/sanitizer/sanitizer_defaults.cpp)
set_target_properties(orvessa_sanitizer_defaults PROPERTIES AUTOMOC OFF)

# Every executable target of the tree, wherever it was defined.
function(orvessa_executables_below dir out)
    set(found "")
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            list(APPEND found ${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir ${subdirs})
        orvessa_executables_below(${subdir} below)
        list(APPEND found ${below})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

orvessa_executables_below(${CMAKE_SOURCE_DIR} sanitized_programs)
foreach(program ${sanitized_programs})
    target_link_libraries(${program} PRIVATE orvessa_sanitizer_defaults)
endforeach()
