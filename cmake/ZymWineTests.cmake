# The GoogleTest suites of the Windows build. GoogleTest is built from the
# sources Debian's libgtest-dev ships; each suite runs as one Wine process
# (a Wine process costs over a second to start, so not one per test).
set(ZYM_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${ZYM_GTEST_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Paths that the suites open, as Wine sees the Linux file system.
set(ZYM_WINE_TEST_DATA_DIR "Z:${CMAKE_CURRENT_SOURCE_DIR}/data")

zym_platform_sources(ZYM_TEST_SUPPORT_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/support)
add_library(zym_test_support STATIC ${ZYM_TEST_SUPPORT_SOURCES})
target_include_directories(zym_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(zym_test_support PUBLIC GTest::gtest)

# Suites of the framework, and of each library family built here.
set(ZYM_FRAMEWORK_SUITES charset thread values)
set(ZYM_PLATFORM_CALLING_SUITES pipe registry)
file(GLOB ZYM_TEST_FAMILIES LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
    CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
foreach(family ${ZYM_TEST_FAMILIES})
    if(NOT IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${family}
       OR family MATCHES "^(support|data|loader|install)$")
        continue()
    endif()
    if(NOT family IN_LIST ZYM_FRAMEWORK_SUITES)
        zym_family_builds(builds ${family})
        if(NOT builds)
            continue()
        endif()
    endif()
    # A suite's win32/ folder holds the tests of Windows behaviour.
    file(GLOB family_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${family}/*.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/${family}/win32/*.cpp)
    add_executable(test_${family} ${family_sources})
    target_compile_definitions(test_${family} PRIVATE ZYM_TEST_DATA_DIR="${ZYM_WINE_TEST_DATA_DIR}")
    target_link_libraries(test_${family} PRIVATE zym_test_support GTest::gtest GTest::gtest_main)
    # The framework's suites need only the framework's DLL.
    if(family IN_LIST ZYM_FRAMEWORK_SUITES)
        target_link_libraries(test_${family} PRIVATE Zym)
    else()
        # These suites call their family's platform functions directly,
        # which the DLL does not export (on ELF everything is): they build
        # them in, with the system libraries they call.
        if(family IN_LIST ZYM_PLATFORM_CALLING_SUITES)
            file(GLOB family_platform_sources CONFIGURE_DEPENDS
                ${PROJECT_SOURCE_DIR}/ZymWindows/src/${family}/win32/*.cpp)
            target_sources(test_${family} PRIVATE ${family_platform_sources})
            target_link_libraries(test_${family} PRIVATE
                $<TARGET_PROPERTY:ZymWindows,LINK_LIBRARIES>)
        endif()
        target_include_directories(test_${family} PRIVATE ${PROJECT_SOURCE_DIR}/ZymWindows/src)
        target_compile_definitions(test_${family} PRIVATE ZYMWIN_PATH="Z:$<TARGET_FILE:zymwin>")
        target_link_libraries(test_${family} PRIVATE ZymWindows)
        add_dependencies(test_${family} zymwin)
    endif()
    # The crash report suite checks the source lines of its crash sites.
    if(family STREQUAL "dump")
        target_compile_options(test_${family} PRIVATE ${ZYM_DEBUG_INFO_OPTION})
    endif()
    if(family STREQUAL "logwindow")
        # The log windows need an X display for Wine to draw them on.
        add_test(NAME ${family} COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-on-xvfb.sh
            ${ZYM_WINEPREFIX} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:test_${family}>)
    else()
        add_test(NAME ${family} COMMAND test_${family})
    endif()
    set_tests_properties(${family} PROPERTIES LABELS "${family};windows" TIMEOUT 300)
endforeach()

# The minidump writer that the library looks for beside the programs:
# Wine's own dbghelp.dll (mingw-w64 has only its import library).
find_file(ZYM_WINE_DBGHELP dbghelp.dll
    PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZYM_WINE_DBGHELP)
    message(FATAL_ERROR "Wine's dbghelp.dll, the tests' NewDbgHelp.dll, was not found (package wine64)")
endif()
file(MAKE_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
file(COPY_FILE ${ZYM_WINE_DBGHELP} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/NewDbgHelp.dll
    ONLY_IF_DIFFERENT)

# Checks run on the host that read what a Windows program left behind with
# readers of their own (tests/<family>/win32/*.py), given the Wine runner,
# the prefix and zymwin.exe.
find_package(Python3 COMPONENTS Interpreter)
file(GLOB ZYM_HOST_CHECKS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/win32/*.py)
foreach(check ${ZYM_HOST_CHECKS})
    cmake_path(GET check STEM check_name)
    cmake_path(GET check PARENT_PATH check_dir)
    cmake_path(GET check_dir PARENT_PATH check_dir)
    cmake_path(GET check_dir FILENAME check_family)
    zym_family_builds(builds ${check_family})
    if(builds AND Python3_Interpreter_FOUND)
        add_test(NAME ${check_family}.${check_name} COMMAND ${Python3_EXECUTABLE} ${check}
            ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh ${ZYM_WINEPREFIX} $<TARGET_FILE:zymwin>)
        set_tests_properties(${check_family}.${check_name} PROPERTIES
            LABELS "${check_family};windows" TIMEOUT 300)
    endif()
endforeach()

# Every public header compiles after <windows.h>: one source per header,
# compiled and not linked.
set(ZYM_HEADER_CHECKS)
foreach(include_dir ${PROJECT_SOURCE_DIR}/framework/include ${PROJECT_SOURCE_DIR}/ZymWindows/include)
    file(GLOB_RECURSE headers RELATIVE ${include_dir} CONFIGURE_DEPENDS ${include_dir}/*.h)
    foreach(header ${headers})
        string(MAKE_C_IDENTIFIER ${header} check_name)
        set(check ${CMAKE_CURRENT_BINARY_DIR}/header-checks/${check_name}.cpp)
        file(CONFIGURE OUTPUT ${check}
            CONTENT "#include <windows.h>\n#include <${header}>\n")
        list(APPEND ZYM_HEADER_CHECKS ${check})
    endforeach()
endforeach()
add_library(zym_headers_after_windows OBJECT ${ZYM_HEADER_CHECKS})
target_link_libraries(zym_headers_after_windows PRIVATE ZymWindows)

# The log window's suite tests the view behind the window, which the DLL
# keeps to itself: the suite builds it in.
if(TARGET test_logwindow)
    file(GLOB view_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/ZymWindows/src/logwindow/*.cpp)
    list(FILTER view_sources EXCLUDE REGEX "/ConsoleLog\\.cpp$")
    target_sources(test_logwindow PRIVATE ${view_sources})
endif()
# The impersonation suite makes local accounts of its own.
if(TARGET test_impersonation)
    target_link_libraries(test_impersonation PRIVATE netapi32 advapi32)
endif()
# The installed package, used from a cross-built project outside the tree.
add_test(NAME install.consumer
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install/install_test_windows.sh ${PROJECT_BINARY_DIR})
set_tests_properties(install.consumer PROPERTIES LABELS "install;windows" TIMEOUT 300)
