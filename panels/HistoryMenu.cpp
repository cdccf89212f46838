// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/HistoryMenu.h"

#include "panels/ItemView.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>

void HistoryMenu::_Popup(ItemView_t *panel, QMenu *menu, const QPoint &globalPos) {
    if (menu)
        menu->addSeparator();
    else
        menu = new QMenu(panel);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QCoreApplication::translate("ItemView_t", "History\u2026"), panel,
                    &ItemView_t::_ShowHistory);
    menu->popup(globalPos);
}

bool HistoryMenu::_OpenFromKey(const QKeyEvent *event, QWidget *control) {
    const bool menuKey = (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) ||
                         (event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier);
    if (!menuKey)
        return false;
    const QPoint centre = control->rect().center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, centre, control->mapToGlobal(centre));
    QCoreApplication::sendEvent(control, &menuEvent);
    return true;
}
