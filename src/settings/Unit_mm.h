#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The password prompt. Sets password_ok to 1 and closes on a right password.
class TForm_mm : public QDialog {
    Q_OBJECT
public:
    explicit TForm_mm(QWidget* owner = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* Button1;
    QPushButton* Button2;

    void Button1Click();
};

// The caller protocol: password_ok to 0, the prompt modally, true when it is 1.
bool AskPassword(QWidget* owner);
