#include "editing/Unit_sjbp.h"

#include "base/MessageService.h"
#include "base/Services.h"
#include "data/DataModuleUi.h"
#include "data/WindowPlace.h"
#include "data/datamodule.h"
#include "editing/TimetableEditor.h"
#include "editing/Unit_sjbp_add.h"
#include "editing/Unit_sjbp_edit.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

TForm_sjbp::TForm_sjbp(QWidget* owner)
    : QWidget(owner, Qt::Window), m_editor(new TimetableEditor(*DataModule1, this)) {
    setObjectName(QStringLiteral("Form_sjbp"));
    setWindowTitle(tr("时间表编辑"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto named = [](auto* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    Label2 = named(new QLabel(tr("时间表名称："), this), "Label2");
    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    ComboBox1->setEditable(false);
    DBGrid1 = named(new QTableView(this), "DBGrid1");
    DBGrid1->setToolTip(tr("双击可修改选中行的内容"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setModel(&m_editor->rows());
    SetCompactGridFont(DBGrid1);
    Button1 = named(new QPushButton(tr("增加"), this), "Button1");
    Button2 = named(new QPushButton(tr("删除"), this), "Button2");
    Button3 = named(new QPushButton(tr("修改"), this), "Button3");
    Button4 = named(new QPushButton(tr("退出"), this), "Button4");
    GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    Label3 = named(new QLabel(tr("从时间表："), GroupBox1), "Label3");
    ComboBox2 = named(new QComboBox(GroupBox1), "ComboBox2");
    ComboBox2->setEditable(false);
    Button5 = named(new QPushButton(tr("导入"), GroupBox1), "Button5");

    auto* top = new QHBoxLayout;
    top->addWidget(Label2);
    top->addWidget(ComboBox1, 1);
    top->addStretch(2);
    auto* importRow = new QHBoxLayout(GroupBox1);
    importRow->addWidget(Label3);
    importRow->addWidget(ComboBox2, 1);
    importRow->addWidget(Button5);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    buttons->addWidget(Button4);
    buttons->addStretch();
    buttons->addWidget(GroupBox1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(buttons);
    WindowPlace::remember(this, defaultSize);

    connect(Button1, &QPushButton::clicked, this, &TForm_sjbp::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_sjbp::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm_sjbp::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm_sjbp::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TForm_sjbp::Button5Click);
    connect(DBGrid1, &QTableView::doubleClicked, this, &TForm_sjbp::Button3Click);
    // Keys of the grid: Enter modifies the marked entry, Delete deletes it;
    // Esc closes the window.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)})
        connect(new QShortcut(key, DBGrid1, nullptr, nullptr, Qt::WidgetShortcut),
                &QShortcut::activated, this, &TForm_sjbp::Button3Click);
    connect(new QShortcut(QKeySequence::Delete, DBGrid1, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, &TForm_sjbp::Button2Click);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &TForm_sjbp::close);
    Button2->setToolTip(tr("删除选中的行（Delete）"));
    Button3->setToolTip(tr("修改选中的行（Enter 或双击）"));
    // The grid marks the current row, and a click makes a row current.
    connect(&m_editor->rows(), &TQuery::currentRowChanged, this, &TForm_sjbp::followCurrentRow);
    connect(&m_editor->rows(), &QAbstractItemModel::modelReset, this,
            &TForm_sjbp::layoutGridColumns);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_editor->rows().setCurrentRow(current.row());
            });

    FormCreate();
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TForm_sjbp::ComboBox1Change);
}

TForm_sjbp::~TForm_sjbp() = default;

void TForm_sjbp::FormCreate() {
    try {
        const QStringList names = m_editor->timetableNames();
        CopyListToCombo(names, ComboBox1);
        CopyListToCombo(names, ComboBox2);
    } catch (const std::exception& e) {
        msg::report(e);
    }
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
    ComboBox2->setCurrentIndex(-1); // no import source chosen yet
    m_editor->setTimetable(ComboBox1->currentText());
}

void TForm_sjbp::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_sjbp::FormShow() {
    try {
        m_editor->load(TimetableEditor::Order::StartTime);
    } catch (const std::exception& e) {
        msg::report(e);
    }
}

void TForm_sjbp::ComboBox1Change() {
    m_editor->setTimetable(ComboBox1->currentText());
    FormShow();
}

void TForm_sjbp::Button1Click() {
    {
        TForm_sjbp_add dialog(this);
        dialog.Edit4->setText(m_editor->timetable());
        dialog.exec();
    }
    try {
        m_editor->load(TimetableEditor::Order::Id);
    } catch (const std::exception& e) {
        msg::report(e);
    }
}

void TForm_sjbp::Button2Click() {
    try {
        m_editor->deleteCurrent();
    } catch (const std::exception& e) {
        msg::report(e);
    }
}

void TForm_sjbp::Button3Click() {
    if (m_editor->rows().isEmpty()) {
        Services::messages().show(tr("数据表为空,不能修改"), tr("提示"),
                                  MessageService::Icon::Information);
        return;
    }
    const QString id = m_editor->currentId();
    {
        TForm_sjbp_edit dialog(m_editor->rows(), this);
        dialog.Edit4->setText(m_editor->timetable());
        dialog.exec();
    }
    try {
        m_editor->reloadKeeping(id);
    } catch (const std::exception& e) {
        msg::report(e);
    }
}

void TForm_sjbp::Button4Click() {
    close();
}

void TForm_sjbp::Button5Click() {
    try {
        m_editor->importFrom(ComboBox2->currentText());
    } catch (const std::exception& e) {
        msg::report(e);
    }
}

void TForm_sjbp::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}

void TForm_sjbp::layoutGridColumns() {
    if (m_editor->rows().columnCount() > 0)
        DBGrid1->setColumnHidden(0, true); // ID
    FitGridColumns(DBGrid1, 4);
}

void TForm_sjbp::followCurrentRow(int row) {
    if (row >= 0)
        DBGrid1->selectRow(row);
    else
        DBGrid1->clearSelection();
}
