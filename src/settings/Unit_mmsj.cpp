#include "settings/Unit_mmsj.h"

#include "base/MessageService.h"
#include "data/datamodule.h"
#include "settings/Password.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm_mmsj::TForm_mmsj(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("Form_mmsj"));
    setWindowTitle(tr("密码设置"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout(this);
    auto row = [this, grid](int r, const QString& caption, const char* label, const char* edit,
                            QLabel*& l, QLineEdit*& e) {
        l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(label));
        e = new QLineEdit(this);
        e->setObjectName(QLatin1String(edit));
        e->setEchoMode(QLineEdit::Password);
        grid->addWidget(l, r, 0);
        grid->addWidget(e, r, 1);
    };
    row(0, tr("原密码："), "Label1", "Edit1", Label1, Edit1);
    row(1, tr("新密码："), "Label2", "Edit2", Label2, Edit2);
    row(2, tr("确认新密码："), "Label3", "Edit3", Label3, Edit3);
    Button1 = new QPushButton(tr("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(tr("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    grid->addLayout(buttons, 3, 0, 1, 2);
    resize(300, 150);

    connect(Button1, &QPushButton::clicked, this, &TForm_mmsj::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm_mmsj::Button1Click() {
    try {
        switch (Password::change(*DataModule1, Edit1->text(), Edit2->text(), Edit3->text())) {
        case Password::ChangeResult::Changed:
            accept();
            break;
        case Password::ChangeResult::Mismatch:
            Edit3->setFocus();
            break;
        case Password::ChangeResult::WrongCurrent:
            Edit1->setFocus();
            break;
        case Password::ChangeResult::WriteFailed:
            break; // stays open so the operator can try again
        }
    } catch (const std::exception& e) {
        msg::report(e);
    }
}
