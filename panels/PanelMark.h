// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// What a panel shows in its empty left column, under the title: a warning
// icon while its node does not answer, a highlight while find has chosen it.
// A child of the panel outside its grid, so that it moves nothing there; it
// exists only for panels that have shown a mark.
class PanelMark_t : public QLabel {
public:
    // `column` is the panel's empty left frame; the mark spans from below the
    // title down to the bottom of `lastRow`.
    PanelMark_t(QWidget *panel, QWidget *column, QWidget *title, QWidget *lastRow);

    void _ShowNotAnswering(bool notAnswering);
    void _ShowFound(bool found);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void _Place();
    void _Update();

    QWidget *column;
    QWidget *title;
    QWidget *lastRow;
    bool notAnswering = false;
    bool found = false;
};
