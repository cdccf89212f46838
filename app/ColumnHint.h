// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A few centred lines over the empty column that say why it is empty. It
// covers the scroll area's viewport, follows its size, and keeps its text
// readable on the column's background under any desktop palette.
class ColumnHint_t : public QLabel {
public:
    explicit ColumnHint_t(QWidget *viewport);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void _FollowPalette();
};
