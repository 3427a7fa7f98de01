# One-line registration of a test executable that links the project's libraries.
if(CMAKE_CROSSCOMPILING)
    # Debian ships GoogleTest's source beside its Linux libraries; a cross build compiles it
    # (its own CMake defines the GTest:: names).
    set(AFD_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source for cross builds")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(${AFD_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# afd_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI] [QT_MAIN CORE|WIDGETS])
# GUI: the sources bring their own main. QT_MAIN: the shared main runs the tests inside a
# QCoreApplication, or a headless QApplication with the user's settings kept out of reach.
# Either way they run on the offscreen platform so they need no display.
function(afd_add_test name)
    cmake_parse_arguments(ARG "GUI" "QT_MAIN" "SOURCES;LIBS" ${ARGN})
    if(ARG_QT_MAIN)
        list(APPEND ARG_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/qt_test_main.cpp)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest afd_warnings)
    if(ARG_QT_MAIN STREQUAL "WIDGETS")
        target_link_libraries(${name} PRIVATE Qt6::Widgets)
        target_compile_definitions(${name} PRIVATE AFD_TEST_WIDGETS)
    elseif(ARG_QT_MAIN)
        target_link_libraries(${name} PRIVATE Qt6::Core)
    elseif(NOT ARG_GUI)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    if(CMAKE_CROSSCOMPILING)
        # The programs cannot be asked for their cases at build time; each runs as one test,
        # through CMAKE_CROSSCOMPILING_EMULATOR (Wine for Windows).
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
    else()
        gtest_discover_tests(${name}
            TEST_PREFIX "${name}."
            DISCOVERY_TIMEOUT 60
            PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
    endif()
endfunction()
