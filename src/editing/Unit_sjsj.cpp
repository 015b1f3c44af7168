#include "editing/Unit_sjsj.h"

#include "base/MessageService.h"
#include "data/DataModuleUi.h"
#include "data/WindowPlace.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

TForm_sjsj::TForm_sjsj(TDataModule1& dm, QWidget* owner)
    : QWidget(owner, Qt::Window), m_assignment(dm) {
    setObjectName(QStringLiteral("Form_sjsj"));
    setWindowTitle(tr("时间表设置"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);

    Label8 = new QLabel(tr("设置各天对应的时间表："), this);
    Label8->setObjectName(QStringLiteral("Label8"));
    auto* days = new QGridLayout;
    days->setColumnStretch(1, 1);
    days->setContentsMargins(16, 4, 16, 4);

    QLabel** labels[] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6, &Label7};
    QComboBox** combos[] = {&ComboBox1, &ComboBox2, &ComboBox3, &ComboBox4,
                            &ComboBox5, &ComboBox6, &ComboBox7};
    const QString dayCaptions[] = {tr("星期一"), tr("星期二"), tr("星期三"), tr("星期四"),
                                   tr("星期五"), tr("星期六"), tr("星期日")};
    for (int i = 0; i < 7; ++i) {
        auto* label = new QLabel(dayCaptions[i], this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        *labels[i] = label;
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("ComboBox%1").arg(i + 1));
        combo->setEditable(false);
        combo->setMinimumWidth(200);
        days->addWidget(label, i, 0);
        days->addWidget(combo, i, 1);
        *combos[i] = combo;
        m_combos << combo;
    }

    Button1 = new QPushButton(tr("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(tr("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, &TForm_sjsj::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_sjsj::Button2Click);
    // Esc is 取消.
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &TForm_sjsj::Button2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addSpacing(24);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label8);
    layout->addLayout(days);
    layout->addStretch(1);
    layout->addLayout(buttons);
    // Not resizable, as designed, but as large as a bigger font needs.
    setFixedSize(sizeHint().expandedTo(QSize(348, 375)));
    WindowPlace::centre(this);

    FormCreate();
}

void TForm_sjsj::FormCreate() {
    // A read error is reported and the window opens all the same, the days
    // not yet read left blank.
    try {
        const QStringList options = m_assignment.options();
        for (QComboBox* combo : m_combos) {
            CopyListToCombo(options, combo);
            combo->setCurrentIndex(-1);
        }
        const QStringList& days = WeekdayAssignment::days();
        for (int i = 0; i < days.size(); ++i)
            m_combos[i]->setCurrentIndex(
                WeekdayAssignment::match(options, m_assignment.read(days[i])));
    } catch (const std::exception& e) {
        msg::report(e);
    }
}

void TForm_sjsj::Button1Click() {
    QStringList values;
    for (const QComboBox* combo : m_combos)
        values << (combo->currentIndex() < 0 ? QString() : combo->currentText());
    m_assignment.saveAll(values);
    close();
}

void TForm_sjsj::Button2Click() {
    close();
}

void TForm_sjsj::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}
