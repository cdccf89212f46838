// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up baseline: a main window with the same widgets as the program's
// (toolbar with a combo box and two actions, a resizable scroll area holding a
// frame with a vertical layout), and nothing else: no interfaces listed, no
// socket, no probe.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QMainWindow>
#include <QScrollArea>
#include <QToolBar>
#include <QVBoxLayout>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QMainWindow window;
    auto *toolBar = new QToolBar(&window);
    window.addToolBar(toolBar);
    toolBar->addWidget(new QComboBox(&window));
    toolBar->addAction(QStringLiteral("Scan"));
    QObject::connect(toolBar->addAction(QStringLiteral("Exit")), &QAction::triggered, &window,
                     &QMainWindow::close);
    auto *scrollArea = new QScrollArea;
    scrollArea->setWidgetResizable(true);
    auto *container = new QFrame;
    container->setLayout(new QVBoxLayout);
    container->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
    scrollArea->setWidget(container);
    window.setCentralWidget(scrollArea);
    window.setMinimumWidth(600);
    window.show();
    return application.exec();
}
