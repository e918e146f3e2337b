# Each subsystem's logic is a static library of its own, built from the .cpp files of its folder
# (ui/ excluded). Globbing keeps the build files out of every change that only adds a source file;
# CONFIGURE_DEPENDS makes a new file show up without a manual re-run of CMake.
function(vistrel_subsystem name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
    set(target vistrel_${name})
    if(sources)
        add_library(${target} STATIC ${sources})
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${target} PUBLIC vistrel_flags Qt6::Core ${ARG_DEPS})
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${target} INTERFACE vistrel_flags Qt6::Core ${ARG_DEPS})
    endif()
endfunction()

# A test program per folder of tests/: every *.cpp of the folder, linked with GoogleTest and the
# named libraries; each test case becomes a CTest test with the given label.
function(vistrel_test_folder folder label)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    if(NOT sources)
        return()
    endif()
    string(REPLACE "/" "_" name "test_${folder}")
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE vistrel_test_support ${ARG_LIBS} GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        VISTREL_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        VISTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${label} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
