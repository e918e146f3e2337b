# Each subsystem's logic is a static library of its own, built from the .cpp files of its folder
# (ui/ excluded). Globbing keeps the build files out of every change that only adds a source file;
# CONFIGURE_DEPENDS makes a new file show up without a manual re-run of CMake.
#
# The layers are enforced by what each library can see. A logic library does not get src/ as its
# include root but a folder of its own holding one link per subsystem it may use (itself and the
# libraries it depends on, transitively), so `#include "publishing/..."` from album_library fails to
# compile instead of linking by luck. In front of Qt's own folders sits a folder of stand-ins for
# every QtGui and QtWidgets header, each an #error, so a widget header in logic fails at once.
set(VISTREL_ROOTS_DIR ${CMAKE_BINARY_DIR}/include_roots)
set(VISTREL_POISON_DIR ${CMAKE_BINARY_DIR}/qt_gui_stand_ins)

function(vistrel_make_gui_stand_ins)
    foreach(module Gui Widgets)
        find_path(qt_${module}_dir NAMES Qt${module} PATH_SUFFIXES qt6/Qt${module} NO_CACHE
            HINTS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_HEADERS}/Qt${module}
                  /usr/include/${CMAKE_LIBRARY_ARCHITECTURE}/qt6/Qt${module})
        if(NOT qt_${module}_dir)
            continue()
        endif()
        file(GLOB headers RELATIVE ${qt_${module}_dir} ${qt_${module}_dir}/*)
        foreach(header ${headers})
            set(stand_in ${VISTREL_POISON_DIR}/Qt${module}/${header})
            if(NOT EXISTS ${stand_in})
                file(WRITE ${stand_in}
                    "#error \"Qt${module}/${header}: widget and GUI headers belong in ui/ or app/ code\"\n")
            endif()
        endforeach()
        file(WRITE ${VISTREL_POISON_DIR}/Qt${module}/Qt${module}
            "#error \"Qt${module}: widget and GUI headers belong in ui/ or app/ code\"\n")
    endforeach()
endfunction()
vistrel_make_gui_stand_ins()

function(vistrel_subsystem name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
    set(target vistrel_${name})

    set(roots ${name})
    foreach(dep ${ARG_DEPS})
        if(TARGET ${dep})
            get_target_property(dep_roots ${dep} VISTREL_ROOTS)
            if(dep_roots)
                list(APPEND roots ${dep_roots})
            endif()
        endif()
    endforeach()
    list(REMOVE_DUPLICATES roots)
    set(root_dir ${VISTREL_ROOTS_DIR}/${name})
    file(REMOVE_RECURSE ${root_dir})
    file(MAKE_DIRECTORY ${root_dir})
    foreach(root ${roots})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${root} ${root_dir}/${root} SYMBOLIC)
    endforeach()

    if(sources)
        add_library(${target} STATIC ${sources})
        target_include_directories(${target} BEFORE PRIVATE ${VISTREL_POISON_DIR} ${root_dir})
        target_link_libraries(${target} PUBLIC vistrel_flags Qt6::Core ${ARG_DEPS})
    else()
        add_library(${target} INTERFACE)
        target_link_libraries(${target} INTERFACE vistrel_flags Qt6::Core ${ARG_DEPS})
    endif()
    set_target_properties(${target} PROPERTIES VISTREL_ROOTS "${roots}")
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
    # Tests compare with literal texts everywhere; the bans on implicit QString conversions guard the
    # program's own code, where every text crosses the Windows-1252/UTF-8 boundary deliberately.
    target_compile_options(${name} PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII -UQT_NO_CAST_FROM_BYTEARRAY)
    target_compile_definitions(${name} PRIVATE
        VISTREL_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        VISTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${label} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
