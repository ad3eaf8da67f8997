# The Windows build: every program and DLL in one bin/ folder, where Windows
# (and Wine) finds a program's DLLs, with the compiler's runtime DLLs beside
# them; programs built for Windows run under Wine (ZymWine.cmake).
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

# The C++ runtime as DLLs shared by the framework, the library and their
# users, so that objects and exceptions cross DLL boundaries with one heap
# and one set of type information.
set(ZYM_MINGW_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${dll_path}" OR NOT EXISTS "${dll_path}")
        message(FATAL_ERROR "The compiler's runtime ${dll} was not found")
    endif()
    cmake_path(NORMAL_PATH dll_path)
    list(APPEND ZYM_MINGW_RUNTIME_DLLS ${dll_path})
endforeach()
file(COPY ${ZYM_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
install(FILES ${ZYM_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})

include(${CMAKE_CURRENT_LIST_DIR}/ZymWine.cmake)
