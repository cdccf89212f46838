// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Makes every panel a group to assistive technology (Qt takes a bare frame
// for a border), so that a screen reader announces the panel's name before
// the controls in it. Installed once; later calls do nothing.
void _InstallPanelAccessibility();
