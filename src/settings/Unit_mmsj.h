#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Changing the password: current, new and confirmation.
class TForm_mmsj : public QDialog {
    Q_OBJECT
public:
    explicit TForm_mmsj(QWidget* owner = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label2;
    QLineEdit* Edit2;
    QLabel* Label3;
    QLineEdit* Edit3;
    QPushButton* Button1;
    QPushButton* Button2;

    void Button1Click();
};
