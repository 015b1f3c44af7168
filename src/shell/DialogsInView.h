#pragma once

#include <QObject>

// The common-tunes player and the song search stay above every other
// window. A box or dialog asked while one of them is open (the password
// before the desk closes, an error, a file chooser) would open underneath
// it, out of sight, and hold the program until found. Installed on the
// application, this keeps such a dialog above those windows too.
class DialogsInView : public QObject {
    Q_OBJECT
public:
    explicit DialogsInView(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
