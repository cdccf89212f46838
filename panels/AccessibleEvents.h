// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// What a panel tells assistive technology when its name or description
// changes. Posted only while assistive technology listens: even unheard, an
// event would make and keep an accessible object for every panel.
namespace AccessibleEvents {

// Screen readers keep a description once read: tells them it changed.
void _DescriptionChanged(QWidget *panel);
void _NameChanged(QWidget *panel);

} // namespace AccessibleEvents
