#pragma once

#include "shell/AboutLinks.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box: title, picture, version, licence, the help page and the
// school's own support contacts (only those it has set).
class TAboutFrm : public QDialog {
    Q_OBJECT
public:
    static const QColor linkHoverColor; // dark red
    static const QColor linkColor;      // black

    explicit TAboutFrm(const AboutLinks::Contacts& contacts = {}, QWidget* owner = nullptr);

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* lbl1;
    QFrame* Bevel1;
    QPushButton* Button2;

    void Label7MouseMove();
    void Label7MouseLeave();
    void Label7Click();
    void lbl1MouseMove();
    void lbl1MouseLeave();
    void lbl1Click();
    void Button2Click();

private:
    AboutLinks::Contacts m_contacts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
