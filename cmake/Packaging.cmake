# SPDX-License-Identifier: GPL-3.0-or-later
# `make package` (the CMake target `package`) builds a Debian package of
# everything cmake/Install.cmake installs. Its dependencies are computed from
# the programs' shared libraries by dpkg-shlibdeps (package dpkg-dev).
set(TERNIX36_PACKAGE_CONTACT "The ternix36-control developers <ternix36-control@example.org>"
    CACHE STRING "Maintainer of the Debian package: Name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ternix36-control)
set(CPACK_PACKAGE_VENDOR "The ternix36-control developers")
set(CPACK_PACKAGE_CONTACT ${TERNIX36_PACKAGE_CONTACT})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TERNIX36_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "control program for TERNIX36 plugs, sensors, dimmers and blinds")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A desktop program that finds the TERNIX36 nodes on one IPv6 link, shows one
panel per node with its name, address and latest readings or state, and
switches plugs, polls and configures brightness and temperature sensors,
dims lights and drives blinds over short UDP datagrams.")
if(TARGET ternix36-sim)
    string(APPEND CPACK_DEBIAN_PACKAGE_DESCRIPTION "
.
The package also holds ternix36-sim, a console program that plays such
nodes on a network interface for trying the control program out.")
endif()

if(TARGET ternix36-bridge)
    string(APPEND CPACK_DEBIAN_PACKAGE_DESCRIPTION "
.
ternix36-bridge publishes the nodes to an MQTT broker with Home Assistant
discovery and passes the hub's commands on to them; it runs as the systemd
service ternix36-bridge, one per host, serving every link named in
/etc/ternix36/bridge.conf.")
endif()

include(CPack)
