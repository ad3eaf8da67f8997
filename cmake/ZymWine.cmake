# Windows programs of the build (tests, zymwin.exe) run under Wine through
# wine-run.sh, in a Wine prefix of the build's own, made once on first use.
set(ZYM_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix CACHE PATH
    "The private Wine prefix that tests and tools of this build run in")
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${ZYM_WINEPREFIX})
endif()
