#pragma once

#include <QApplication>

// The application object. A failure that no window handled is shown as the
// general error report (a message box with its own text) instead of ending
// the program: the schedule must go on.
//
// It carries the application title "播音系统 ": the window manager adds it to
// window titles, and message boxes without a caption of their own show it.
class VornApplication : public QApplication {
public:
    VornApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    static QString title() { return translate("VornApplication", "播音系统 "); }
};
