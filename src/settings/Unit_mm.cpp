#include "settings/Unit_mm.h"

#include "base/MessageService.h"
#include "data/datamodule.h"
#include "settings/Password.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm_mm::TForm_mm(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("Form_mm"));
    setWindowTitle(tr("请输入密码"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    Label1 = new QLabel(tr("密码："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setEchoMode(QLineEdit::Password);
    Button1 = new QPushButton(tr("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(tr("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    grid->addLayout(buttons, 1, 0, 1, 2);
    resize(260, 100);

    connect(Button1, &QPushButton::clicked, this, &TForm_mm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm_mm::Button1Click() {
    try {
        if (Password::check(*DataModule1, Edit1->text()))
            accept();
    } catch (const std::exception& e) {
        msg::report(e);
    }
}

bool AskPassword(QWidget* owner) {
    password_ok = 0;
    {
        TForm_mm prompt(owner);
        prompt.exec();
    }
    return password_ok == 1;
}
