#pragma once

#include <QApplication>

// The application object. A failure that no window handled is shown as the
// general error report (a message box with its own text) instead of ending
// the program: the schedule must go on.
class VornApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};
