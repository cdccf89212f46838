// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/PanelFinder.h"

#include <QLineEdit>
#include <QPointer>

class ItemView_t;
class QAction;
class QScrollArea;

// The toolbar's find field, hidden until asked for. Typing chooses the first
// panel that matches; Enter and F3 go to the next one, Shift+F3 to the one
// before, round the column. The chosen panel is scrolled into view and
// highlighted. Esc hides the field and gives the keyboard focus to the
// chosen panel's first control, or back to where it was when none was found;
// F3 and Shift+F3 then go on from the panel found last.
class FindField_t : public QLineEdit {
    Q_OBJECT

public:
    FindField_t(const QList<ItemView_t *> &panels, QScrollArea *scrollArea,
                QWidget *parent = nullptr);

    // The toolbar's action that shows the field.
    void _SetToolBarAction(QAction *action);
    // The panel chosen now, or null.
    ItemView_t *_Found() const;

public slots:
    void _Open();
    void _Next();
    void _Previous();
    void _Close();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void _Search();
    void _Go(int from, int step);
    // Where F3 and Shift+F3 go on from: the chosen panel, or the one chosen
    // last before Esc; -1 for none.
    int _LastIndex() const;
    void _Choose(int index);
    void _ShowNoMatch(bool noMatch);

    const QList<ItemView_t *> &panels;
    PanelFinder_t finder;
    QScrollArea *scrollArea;
    QAction *toolBarAction = nullptr;
    QAction *noMatchMark;
    QPointer<ItemView_t> found;
    QPointer<ItemView_t> foundLast;
    QPointer<QWidget> focusBefore;
};
