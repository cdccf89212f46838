# SPDX-License-Identifier: GPL-3.0-or-later
# The Wireshark dissector goes where Wireshark loads global Lua plugins. That
# folder is Wireshark's own, outside any install prefix: the Wireshark found
# at configure time tells it (`tshark -G folders`); without one, Debian's
# layout, which Wireshark 4.0 and 4.4 share, /usr/lib/<triplet>/wireshark/plugins.
if(CMAKE_LIBRARY_ARCHITECTURE)
    set(ternix36_lua_default /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/wireshark/plugins)
else()
    set(ternix36_lua_default /usr/lib/wireshark/plugins)
endif()
find_program(TERNIX36_TSHARK tshark)
if(TERNIX36_TSHARK)
    execute_process(COMMAND ${TERNIX36_TSHARK} -G folders
        OUTPUT_VARIABLE ternix36_folders ERROR_QUIET RESULT_VARIABLE ternix36_folders_result)
    if(ternix36_folders_result EQUAL 0
       AND ternix36_folders MATCHES "Global Lua Plugins:[ \t]*([^\r\n]+)")
        string(STRIP "${CMAKE_MATCH_1}" ternix36_lua_default)
    endif()
endif()
set(TERNIX36_WIRESHARK_LUA_DIR ${ternix36_lua_default}
    CACHE PATH "Folder of Wireshark's global Lua plugins, where the dissector is installed")
message(STATUS "Wireshark dissector goes to ${TERNIX36_WIRESHARK_LUA_DIR}")

install(FILES ${CMAKE_CURRENT_LIST_DIR}/../share/wireshark/ternix36.lua
        DESTINATION ${TERNIX36_WIRESHARK_LUA_DIR})
