# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash disable=SC2034 # the variables are for the scripts that source it
# Sourced by demo.sh and screenshot.sh (bash): the simulated nodes they show
# and the window size that has room for all their panels.

# One node of each kind, in the order their panels appear.
demo_nodes=(
    --node "plug@fe80::10=Desk lamp"
    --node "adplug@fe80::11=Kettle"
    --node "bright@fe80::12=Hall sensor"
    --node "bright2@fe80::13=Porch sensor"
    --node "dimmer@fe80::14=Ceiling light"
    --node "blinds@fe80::15=Bedroom blinds"
)
# For Qt's own -geometry option (X11).
demo_geometry=780x840

# The address of the demo node of this name.
demo_address() {
    local option address
    for option in "${demo_nodes[@]}"; do
        case $option in
        *"=$1")
            address=${option#*@}
            echo "${address%%=*}"
            return 0
            ;;
        esac
    done
    return 1
}
