#include "editing/Unit_sjsj.h"

#include "base/MessageService.h"
#include "data/DataModuleUi.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TForm_sjsj::TForm_sjsj(TDataModule1& dm, QWidget* owner)
    : QWidget(owner, Qt::Window), m_assignment(dm) {
    setObjectName(QStringLiteral("Form_sjsj"));
    setWindowTitle(tr("时间表设置"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(348, 375);

    Label8 = new QLabel(tr("设置各天对应的时间表："), this);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setGeometry(24, 16, 300, 20);

    QLabel** labels[] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6, &Label7};
    QComboBox** combos[] = {&ComboBox1, &ComboBox2, &ComboBox3, &ComboBox4,
                            &ComboBox5, &ComboBox6, &ComboBox7};
    const QString dayCaptions[] = {tr("星期一"), tr("星期二"), tr("星期三"), tr("星期四"),
                                   tr("星期五"), tr("星期六"), tr("星期日")};
    for (int i = 0; i < 7; ++i) {
        const int y = 50 + i * 38;
        auto* label = new QLabel(dayCaptions[i], this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setGeometry(40, y + 3, 60, 20);
        *labels[i] = label;
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("ComboBox%1").arg(i + 1));
        combo->setEditable(false);
        combo->setGeometry(110, y, 200, 26);
        *combos[i] = combo;
        m_combos << combo;
    }

    Button1 = new QPushButton(tr("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(80, 325, 80, 27);
    Button2 = new QPushButton(tr("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(190, 325, 80, 27);
    connect(Button1, &QPushButton::clicked, this, &TForm_sjsj::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_sjsj::Button2Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

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
