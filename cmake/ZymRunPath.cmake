# Installed programs and libraries find the project's libraries relative to
# their own location ($ORIGIN), so any install prefix works without
# LD_LIBRARY_PATH.
function(zym_relative_run_path target destination)
    file(RELATIVE_PATH to_libdir "/${destination}" "/${CMAKE_INSTALL_LIBDIR}")
    if(to_libdir STREQUAL "")
        set(run_path "$ORIGIN")
    else()
        set(run_path "$ORIGIN/${to_libdir}")
    endif()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${run_path}")
endfunction()
