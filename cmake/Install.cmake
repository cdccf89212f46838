# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` and the Debian package put where. Include it after
# every program target, so that the simulator is installed when it is built.
include(GNUInstallDirs)

# Directories created on install are world-readable, whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(ternix36_share ${CMAKE_CURRENT_LIST_DIR}/../share)
set(ternix36_generated ${CMAKE_CURRENT_BINARY_DIR}/share)

install(TARGETS ternix36-control RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Where the program looks for it, from its own folder.
install(TARGETS ternix36-history ternix36-site LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/ternix36-control)
install(FILES ${ternix36_share}/ternix36-control.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ternix36_share}/ternix36-control.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
configure_file(${ternix36_share}/net.ternix36.control.metainfo.xml.in
               ${ternix36_generated}/net.ternix36.control.metainfo.xml @ONLY)
install(FILES ${ternix36_generated}/net.ternix36.control.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${ternix36_share}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(ternix36_programs ternix36-control)
if(TARGET ternix36-sim)
    install(TARGETS ternix36-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND ternix36_programs ternix36-sim)
endif()

if(TARGET ternix36-bridge)
    install(TARGETS ternix36-bridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND ternix36_programs ternix36-bridge)
    # The unit names the program by the prefix of the install itself: the
    # package installs to /usr, `cmake --install` by default to /usr/local.
    install(CODE "
        set(CMAKE_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        configure_file(\"${ternix36_share}/systemd/ternix36-bridge.service.in\"
                       \"${ternix36_generated}/ternix36-bridge.service\" @ONLY)
        file(INSTALL \"${ternix36_generated}/ternix36-bridge.service\"
             DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\"
             FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)")
    # Examples: /etc/ternix36/bridge.conf, and a Mosquitto ACL for the bridges
    # and the hub.
    install(FILES ${ternix36_share}/systemd/bridge.conf ${ternix36_share}/mosquitto/ternix36.acl
            DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

# Man pages and the changelog are installed gzipped (-n: no name or time
# stamp inside, so every build gives the same bytes), as Debian wants them.
find_program(TERNIX36_GZIP gzip)
set(ternix36_compressed)
function(ternix36_install_compressed file destination)
    if(TERNIX36_GZIP)
        add_custom_command(OUTPUT ${file}.gz
            COMMAND ${TERNIX36_GZIP} -9nkf ${file}
            DEPENDS ${file}
            VERBATIM)
        set(ternix36_compressed ${ternix36_compressed} ${file}.gz PARENT_SCOPE)
        install(FILES ${file}.gz DESTINATION ${destination})
    else()
        install(FILES ${file} DESTINATION ${destination})
    endif()
endfunction()

foreach(program IN LISTS ternix36_programs)
    configure_file(${ternix36_share}/man/${program}.1.in ${ternix36_generated}/${program}.1 @ONLY)
    ternix36_install_compressed(${ternix36_generated}/${program}.1 ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(${ternix36_share}/debian/changelog ${ternix36_generated}/changelog COPYONLY)
ternix36_install_compressed(${ternix36_generated}/changelog ${CMAKE_INSTALL_DOCDIR})
add_custom_target(ternix36-compressed-docs ALL DEPENDS ${ternix36_compressed})
include(${CMAKE_CURRENT_LIST_DIR}/WiresharkPlugin.cmake)
