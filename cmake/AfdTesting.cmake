# One-line registration of a test executable that links the project's libraries.
find_package(GTest REQUIRED)
include(GoogleTest)

# afd_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI])
# GUI tests run on the offscreen platform so they need no display.
function(afd_add_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest afd_warnings)
    if(NOT ARG_GUI)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    gtest_discover_tests(${name}
        TEST_PREFIX "${name}."
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
