#pragma once

#include <QApplication>

// The application object. A failure that no window handled is shown as the
// general error report (a message box with its own text) instead of ending
// the program: the schedule must go on.
//
// It carries the application title "播音系统 ", which message boxes without
// a caption of their own show. (It is not Qt's display name: the window
// manager would add that to every window's caption.)
class VornApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;

    static QString title() { return translate("VornApplication", "播音系统 "); }
};
