#include "editing/Unit_sjbp.h"

#include "base/MessageService.h"
#include "base/Services.h"
#include "data/DataModuleUi.h"
#include "data/WindowPlace.h"
#include "data/datamodule.h"
#include "editing/TimetableEditor.h"
#include "editing/TimetableNames.h"
#include "editing/Unit_sjbp_add.h"
#include "editing/Unit_sjbp_edit.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace {
TForm_sjbp::NameAsker& nameAsker() {
    static TForm_sjbp::NameAsker asker;
    return asker;
}
} // namespace

void TForm_sjbp::setNameAsker(NameAsker asker) {
    nameAsker() = std::move(asker);
}

TForm_sjbp::TForm_sjbp(QWidget* owner)
    : QWidget(owner, Qt::Window), m_editor(new TimetableEditor(*DataModule1, this)),
      m_names(new TimetableNames(*DataModule1, this)) {
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
    Button_new = named(new QPushButton(tr("新建..."), this), "Button_new");
    Button_new->setToolTip(tr("新建一个空的时间表"));
    Button_rename = named(new QPushButton(tr("改名..."), this), "Button_rename");
    Button_rename->setToolTip(tr("给当前时间表改名，星期设置和例外日期随之更改"));
    Button_copy = named(new QPushButton(tr("复制..."), this), "Button_copy");
    Button_copy->setToolTip(tr("以当前时间表的全部内容新建一个时间表"));
    Button_remove = named(new QPushButton(tr("删除时间表"), this), "Button_remove");
    Button_remove->setToolTip(tr("删除当前时间表及其全部内容"));

    auto* top = new QHBoxLayout;
    top->addWidget(Label2);
    top->addWidget(ComboBox1, 1);
    top->addWidget(Button_new);
    top->addWidget(Button_rename);
    top->addWidget(Button_copy);
    top->addWidget(Button_remove);
    top->addStretch();
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
    connect(Button_new, &QPushButton::clicked, this, &TForm_sjbp::Button_newClick);
    connect(Button_rename, &QPushButton::clicked, this, &TForm_sjbp::Button_renameClick);
    connect(Button_copy, &QPushButton::clicked, this, &TForm_sjbp::Button_copyClick);
    connect(Button_remove, &QPushButton::clicked, this, &TForm_sjbp::Button_removeClick);
    connect(m_names, &TimetableNames::changed, this, &TForm_sjbp::edited);
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
    emit edited();
}

void TForm_sjbp::Button2Click() {
    try {
        m_editor->deleteCurrent();
    } catch (const std::exception& e) {
        msg::report(e);
    }
    emit edited();
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
    emit edited();
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
    emit edited();
}

namespace {
QString askName(QWidget* parent, const QString& title, const QString& label,
                const QString& suggested) {
    if (nameAsker())
        return nameAsker()(parent, title, label, suggested);
    bool ok = false;
    const QString name =
        QInputDialog::getText(parent, title, label, QLineEdit::Normal, suggested, &ok);
    return ok ? name.trimmed() : QString();
}
} // namespace

void TForm_sjbp::reloadNames(const QString& show) {
    FormCreate();
    const int index = ComboBox1->findText(show);
    if (index >= 0)
        ComboBox1->setCurrentIndex(index);
    m_editor->setTimetable(ComboBox1->currentText());
    FormShow();
}

void TForm_sjbp::Button_newClick() {
    const QString name = askName(this, tr("新建时间表"), tr("新时间表的名称："), QString());
    if (!name.isEmpty() && m_names->create(name))
        reloadNames(name);
}

void TForm_sjbp::Button_renameClick() {
    const QString old = m_editor->timetable();
    if (old.isEmpty())
        return;
    const QString name = askName(this, tr("时间表改名"), tr("“%1”的新名称：").arg(old), old);
    if (!name.isEmpty() && name != old && m_names->rename(old, name))
        reloadNames(name);
}

void TForm_sjbp::Button_copyClick() {
    const QString source = m_editor->timetable();
    if (source.isEmpty())
        return;
    const QString name =
        askName(this, tr("复制时间表"), tr("复制“%1”为：").arg(source), tr("%1 副本").arg(source));
    if (!name.isEmpty() && m_names->copy(source, name))
        reloadNames(name);
}

void TForm_sjbp::Button_removeClick() {
    const QString name = m_editor->timetable();
    if (!name.isEmpty() && m_names->remove(name))
        reloadNames(QString());
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
