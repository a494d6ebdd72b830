# SPDX-License-Identifier: AGPL-3.0-or-later
# Runs at install time, when CMAKE_INSTALL_PREFIX is the prefix actually installed to.
function(lumafold_absolute out dir)
    if(IS_ABSOLUTE "${dir}")
        set(${out} "${dir}" PARENT_SCOPE)
    else()
        set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
    endif()
endfunction()

lumafold_absolute(bindir "${LUMAFOLD_INSTALL_BINDIR}")
lumafold_absolute(datadir "${LUMAFOLD_INSTALL_DATADIR}")
set(program "${bindir}/lumafold")

# Characters that would need a second level of escaping in desktop files or the shell script.
if(program MATCHES "[\"'`$\\\\%\n]")
    message(FATAL_ERROR "The install path ${program} contains a quote, $, %, \\ or a line break.")
endif()
if(program MATCHES "^[A-Za-z0-9/._+-]+$")
    set(LUMAFOLD_EXEC "${program}")
else()
    set(LUMAFOLD_EXEC "\"${program}\"")
endif()
set(LUMAFOLD_SHELL_EXEC "'${program}'")

# One work folder per prefix, so that two installs from this tree cannot mix their files.
string(MD5 prefixKey "${CMAKE_INSTALL_PREFIX}")
set(work "${LUMAFOLD_PACKAGING_WORK}/${prefixKey}")

function(lumafold_install_configured template destination name permissions)
    configure_file("${LUMAFOLD_PACKAGING_SOURCE}/${template}" "${work}/${name}" @ONLY)
    file(INSTALL DESTINATION "${destination}" TYPE FILE FILES "${work}/${name}" PERMISSIONS ${permissions})
endfunction()

set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(runnable OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
lumafold_install_configured(app.marlo.Lumafold.desktop.in "${datadir}/applications" app.marlo.Lumafold.desktop
                            "${readable}")
lumafold_install_configured(app.marlo.Lumafold.service.in "${datadir}/dbus-1/services" app.marlo.Lumafold.service
                            "${readable}")
if(LUMAFOLD_SYSTEM_PACKAGE)
    lumafold_install_configured(app.marlo.Lumafold.combine.desktop.in "${datadir}/kio/servicemenus"
                                app.marlo.Lumafold.combine.desktop "${readable}")
    # GNOME Files reads scripts from the user's own data folder only, so a system-wide install
    # has nowhere to put one.
    return()
endif()
# Service menus outside the system folders must be executable before KDE runs them.
lumafold_install_configured(app.marlo.Lumafold.combine.desktop.in "${datadir}/kio/servicemenus"
                            app.marlo.Lumafold.combine.desktop "${runnable}")
# With --prefix ~/.local this is the folder GNOME Files reads.
lumafold_install_configured(nautilus-script.sh.in "${datadir}/nautilus/scripts" "Combine PDFs" "${runnable}")
