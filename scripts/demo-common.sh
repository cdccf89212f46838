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
