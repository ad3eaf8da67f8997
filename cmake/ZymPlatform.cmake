# Each family keeps its OS calls in posix/ and win32/; a build takes the
# folder of its own platform. On Windows a family whose win32/ side does not
# exist yet is left out of the build (it has no Windows calls to make).
if(WIN32)
    set(ZYM_PLATFORM_DIR win32)
    set(ZYM_OTHER_PLATFORM_DIR posix)
else()
    set(ZYM_PLATFORM_DIR posix)
    set(ZYM_OTHER_PLATFORM_DIR win32)
endif()

# The sources under `dir`, without the other platform's folders.
function(zym_platform_sources out dir)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "/${ZYM_OTHER_PLATFORM_DIR}/")
    set(${out} ${sources} PARENT_SCOPE)
endfunction()

# Whether the library's family `family` is built here: always on Linux; on
# Windows when it is portable (no posix/ folder) or has its win32/ side.
function(zym_family_builds out family)
    set(root ${PROJECT_SOURCE_DIR}/ZymWindows/src/${family})
    if(NOT WIN32 OR IS_DIRECTORY ${root}/win32 OR NOT IS_DIRECTORY ${root}/posix)
        set(${out} TRUE PARENT_SCOPE)
    else()
        set(${out} FALSE PARENT_SCOPE)
    endif()
endfunction()

# The library's families built here, as folder names under ZymWindows/src.
function(zym_built_families out)
    file(GLOB entries LIST_DIRECTORIES true RELATIVE ${PROJECT_SOURCE_DIR}/ZymWindows/src
        CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/ZymWindows/src/*)
    set(families)
    foreach(entry ${entries})
        if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/ZymWindows/src/${entry})
            zym_family_builds(builds ${entry})
            if(builds)
                list(APPEND families ${entry})
            endif()
        endif()
    endforeach()
    set(${out} ${families} PARENT_SCOPE)
endfunction()
