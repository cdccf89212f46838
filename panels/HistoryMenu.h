// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class ItemView_t;
class QKeyEvent;
class QMenu;
class QPoint;
class QWidget;

// A panel's context menu and its one entry, "History…", which opens the
// node's history window.
namespace HistoryMenu {

// Adds the entry to `menu` (a new one when null), and shows it at globalPos.
void _Popup(ItemView_t *panel, QMenu *menu, const QPoint &globalPos);
// Shift+F10, or the Menu key where the platform left it a key: the control
// with the focus gets the context menu event that a right click would give.
bool _OpenFromKey(const QKeyEvent *event, QWidget *control);

} // namespace HistoryMenu
