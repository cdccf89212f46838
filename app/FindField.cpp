// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FindField.h"

#include "panels/ItemView.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QScrollArea>
#include <QStyle>

FindField_t::FindField_t(const QList<ItemView_t *> &panels, QScrollArea *scrollArea,
                         QWidget *parent)
    : QLineEdit(parent)
    , panels(panels)
    , finder(panels)
    , scrollArea(scrollArea) {
    setPlaceholderText(tr("Find a node"));
    setAccessibleName(tr("Find"));
    setClearButtonEnabled(true);
    noMatchMark = new QAction(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this),
                              tr("No match"), this);
    connect(this, &QLineEdit::textEdited, this, &FindField_t::_Search);
}

void FindField_t::_SetToolBarAction(QAction *action) {
    toolBarAction = action;
    toolBarAction->setVisible(false);
}

ItemView_t *FindField_t::_Found() const {
    return found;
}

void FindField_t::_Open() {
    if (!isVisible())
        focusBefore = QApplication::focusWidget();
    // The toolbar would show and hide the field only when it next lays out.
    if (toolBarAction)
        toolBarAction->setVisible(true);
    show();
    setFocus(Qt::ShortcutFocusReason);
    selectAll();
}

// F3 and Shift+F3 with the field hidden bring it back with its last text.
void FindField_t::_Next() {
    if (!isVisible())
        _Open();
    _Go(_LastIndex() + 1, 1);
}

void FindField_t::_Previous() {
    if (!isVisible())
        _Open();
    const int last = _LastIndex();
    _Go(last < 0 ? -1 : last - 1, -1);
}

int FindField_t::_LastIndex() const {
    // A panel removed since is no longer in the list.
    return foundLast ? int(panels.indexOf(foundLast.data())) : -1;
}

void FindField_t::_Close() {
    if (toolBarAction)
        toolBarAction->setVisible(false);
    hide();
    QWidget *focus = found ? found->_FocusTarget() : focusBefore.data();
    _Choose(-1);
    if (focus)
        focus->setFocus(Qt::OtherFocusReason);
}

void FindField_t::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        _Close();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        _Next();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FindField_t::_Search() {
    _Go(0, 1);
}

void FindField_t::_Go(int from, int step) {
    const int index = finder._Find(text(), from, step);
    _Choose(index);
    _ShowNoMatch(index < 0 && !text().isEmpty());
}

void FindField_t::_Choose(int index) {
    ItemView_t *now = index >= 0 ? panels[index] : nullptr;
    if (found && found != now)
        found->_ShowFound(false);
    found = now;
    if (!now)
        return;
    foundLast = now;
    now->_ShowFound(true);
    scrollArea->ensureWidgetVisible(now, 0, 0);
}

void FindField_t::_ShowNoMatch(bool noMatch) {
    if (noMatch == actions().contains(noMatchMark))
        return;
    if (noMatch)
        addAction(noMatchMark, QLineEdit::TrailingPosition);
    else
        removeAction(noMatchMark);
    setAccessibleDescription(noMatch ? tr("No match") : QString());
    setToolTip(noMatch ? tr("No match") : QString());
}
