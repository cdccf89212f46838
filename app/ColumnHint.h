// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

class QScrollArea;

// A few centred lines over the empty column that say why it is empty. It
// covers the scroll area's viewport and follows its size; while it is there
// the scroll area is at least as tall as the text needs, and the text stays
// readable on the column's background under any desktop palette.
class ColumnHint_t : public QLabel {
public:
    explicit ColumnHint_t(QScrollArea *scrollArea);
    ~ColumnHint_t() override;

    void _Say(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void _FitHeight();
    void _FollowPalette();

    QScrollArea *scrollArea;
};
