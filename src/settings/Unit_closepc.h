#pragma once

#include "settings/ShutdownCountdown.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

// The shutdown countdown: "计算机将在 30 秒后自动关闭。" counting down once a
// second, then the power-off (retried once a minute) unless "取消关机" or the
// title bar closes it first.
class TForm_closepc : public QDialog {
    Q_OBJECT
public:
    explicit TForm_closepc(QWidget* owner = nullptr);
    ~TForm_closepc() override;

    ShutdownCountdown& countdown() { return *m_countdown; }

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label_error; // why the last power-off attempt failed
    QPushButton* Button1;
    QTimer* Timer1;

    void Button1Click();
    void Timer1Timer();

protected:
    void done(int result) override;

private:
    ShutdownCountdown* m_countdown;
};

// The countdown window on screen (the newest one), or null.
extern TForm_closepc* Form_closepc;
