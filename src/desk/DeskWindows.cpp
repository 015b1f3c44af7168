#include "desk/DeskWindows.h"

#include "base/MessageService.h"
#include "base/Services.h"
#include "data/ExtraTables.h"
#include "data/WindowPlace.h"
#include "desk/CheckRunner.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QSaveFile>
#include <QShortcut>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QDateEdit* dateEdit(QWidget* parent, const char* name) {
    auto* edit = new QDateEdit(Services::clock().now().date(), parent);
    edit->setObjectName(QLatin1String(name));
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return edit;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

AsRunLogWindow::SaveChooser& saveChooser() {
    static AsRunLogWindow::SaveChooser chooser;
    return chooser;
}
} // namespace

// ---------------------------------------------------------------- CheckWindow

CheckWindow::CheckWindow(CheckRunner& runner, QWidget* owner)
    : QWidget(owner, Qt::Window), m_runner(runner) {
    setObjectName(QStringLiteral("Form_check"));
    setWindowTitle(tr("播前检查"));
    setAttribute(Qt::WA_DeleteOnClose);
    DateEdit_day = dateEdit(this, "DateEdit_day");
    Button_check = button(this, "Button_check", tr("检查"));
    Label_heading = new QLabel(this);
    Label_heading->setObjectName(QStringLiteral("Label_heading"));
    Label_heading->setWordWrap(true);
    List_findings = new QListWidget(this);
    List_findings->setObjectName(QStringLiteral("List_findings"));
    List_findings->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("日期："), this));
    top->addWidget(DateEdit_day);
    top->addWidget(Button_check);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Label_heading);
    layout->addWidget(List_findings, 1);
    WindowPlace::remember(this, QSize(640, 400));
    // Esc closes it, as it closes the dialogs.
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);
    connect(Button_check, &QPushButton::clicked, this, [this] { checkDate(DateEdit_day->date()); });
    connect(&runner, &CheckRunner::finished, this,
            [this](const PreAirCheck::Input& input, const QList<PreAirCheck::Finding>& findings) {
                if (input.date == DateEdit_day->date())
                    showResult(input, findings);
            });
    connect(&runner, &CheckRunner::failed, this, [this](const QDate&, const QString& reason) {
        Label_heading->setText(tr("无法读取数据库：%1").arg(reason));
    });
}

void CheckWindow::checkDate(const QDate& date) {
    DateEdit_day->setDate(date);
    Label_heading->setText(tr("正在检查……"));
    m_runner.check(date);
}

void CheckWindow::showResult(const PreAirCheck::Input& input,
                             const QList<PreAirCheck::Finding>& findings) {
    Label_heading->setText(
        PreAirCheck::dayHeading(input) + QLatin1Char('\n') +
        (findings.isEmpty() ? tr("没有发现问题。") : tr("发现 %1 个问题：").arg(findings.size())));
    List_findings->clear();
    for (const PreAirCheck::Finding& f : findings)
        List_findings->addItem(f.line());
}

// ---------------------------------------------------------------- CheckPanel

CheckPanel::CheckPanel(CheckRunner& runner, QWidget* parent)
    : QPushButton(parent), m_runner(runner) {
    setObjectName(QStringLiteral("CheckPanel"));
    setFlat(true);
    setText(tr("播前检查：正在检查……"));
    setToolTip(tr("单击查看播前检查的结果"));
    connect(&runner, &CheckRunner::finished, this, &CheckPanel::take);
    connect(&runner, &CheckRunner::failed, this, [this](const QDate&, const QString& reason) {
        setText(tr("播前检查：无法读取数据库"));
        setToolTip(reason);
        showAs(Qt::red, false);
    });
    connect(this, &QPushButton::clicked, this, &CheckPanel::openWindow);
}

void CheckPanel::showAs(const QColor& colour, bool bold) {
    QPalette colours = palette();
    colours.setColor(QPalette::ButtonText, colour);
    setPalette(colours);
    QFont weight = font();
    weight.setBold(bold);
    setFont(weight);
}

void CheckPanel::paintEvent(QPaintEvent*) {
    // The button as the style draws it, its text from the left like the
    // desk's other lines (a style sheet would do this only by sending the
    // button through the style-sheet engine).
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString shown = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.drawItemText(contents, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown,
                         QPalette::ButtonText);
}

void CheckPanel::take(const PreAirCheck::Input& input,
                      const QList<PreAirCheck::Finding>& findings) {
    if (input.date != Services::clock().now().date())
        return; // another day checked on demand
    m_input = input;
    m_findings = findings;
    if (findings.isEmpty()) {
        setText(tr("播前检查：今天没有发现问题"));
        showAs(QColor(0x00, 0x64, 0x00), false); // "darkgreen"
        setToolTip(tr("单击查看播前检查的结果"));
        return;
    }
    setText(tr("播前检查：今天发现 %1 个问题（单击查看）").arg(findings.size()));
    showAs(Qt::red, true);
    QStringList lines;
    for (const PreAirCheck::Finding& f : findings.mid(0, 10))
        lines << f.line();
    setToolTip(lines.join(QLatin1Char('\n')));
}

void CheckPanel::openWindow() {
    auto* checkWindow = new CheckWindow(m_runner, window());
    checkWindow->show();
    if (m_input.date.isValid())
        checkWindow->showResult(m_input, m_findings);
    else
        checkWindow->checkDate(Services::clock().now().date());
}

// ---------------------------------------------------------------- AsRunLogWindow

void AsRunLogWindow::setSaveChooser(SaveChooser chooser) {
    saveChooser() = std::move(chooser);
}

AsRunLogWindow::AsRunLogWindow(TDataModule1& dm, AsRunLog& log, QWidget* owner)
    : QWidget(owner, Qt::Window), m_dm(dm), m_log(log) {
    setObjectName(QStringLiteral("Form_log"));
    setWindowTitle(tr("播出日志"));
    setAttribute(Qt::WA_DeleteOnClose);
    DateEdit_day = dateEdit(this, "DateEdit_day");
    ComboBox_kind = new QComboBox(this);
    ComboBox_kind->setObjectName(QStringLiteral("ComboBox_kind"));
    ComboBox_kind->addItem(tr("全部"), QString());
    for (const QString& kind : LogKind::all())
        ComboBox_kind->addItem(LogKind::label(kind), kind);
    Button_refresh = button(this, "Button_refresh", tr("刷新"));
    Button_export = button(this, "Button_export", tr("导出CSV..."));
    Grid_log = new QTableWidget(0, 7, this);
    Grid_log->setObjectName(QStringLiteral("Grid_log"));
    Grid_log->setHorizontalHeaderLabels(
        {tr("时间"), tr("类别"), tr("时间表"), tr("开始时间"), tr("节目"), tr("文件"), tr("说明")});
    Grid_log->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_log->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_log->verticalHeader()->setVisible(false);
    Grid_log->horizontalHeader()->setStretchLastSection(true);
    SpinBox_keep = new QSpinBox(this);
    SpinBox_keep->setObjectName(QStringLiteral("SpinBox_keep"));
    SpinBox_keep->setRange(1, 3650);
    SpinBox_keep->setSuffix(tr(" 天"));
    SpinBox_keep->setValue(ExtraTables::logKeepDays(dm));
    Button_keep = button(this, "Button_keep", tr("保存"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("日期："), this));
    top->addWidget(DateEdit_day);
    top->addWidget(new QLabel(tr("类别："), this));
    top->addWidget(ComboBox_kind);
    top->addWidget(Button_refresh);
    top->addStretch();
    top->addWidget(Button_export);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(tr("日志保留："), this));
    bottom->addWidget(SpinBox_keep);
    bottom->addWidget(Button_keep);
    bottom->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Grid_log, 1);
    layout->addLayout(bottom);
    WindowPlace::remember(this, QSize(900, 480));
    // Esc closes it, as it closes the dialogs.
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);

    connect(DateEdit_day, &QDateEdit::dateChanged, this, &AsRunLogWindow::load);
    connect(ComboBox_kind, &QComboBox::currentIndexChanged, this, &AsRunLogWindow::load);
    connect(Button_refresh, &QPushButton::clicked, this, &AsRunLogWindow::load);
    connect(Button_export, &QPushButton::clicked, this, &AsRunLogWindow::exportCsv);
    connect(Button_keep, &QPushButton::clicked, this, &AsRunLogWindow::saveKeepDays);
    connect(&log, &AsRunLog::appended, this, [this](const LogRow& row) {
        if (row.at.date() == DateEdit_day->date())
            load();
    });
    load();
}

void AsRunLogWindow::load() {
    const QString kind = ComboBox_kind->currentData().toString();
    const QDate day = DateEdit_day->date();
    try {
        m_rows = m_log.rows(day, day, kind.isEmpty() ? QStringList() : QStringList{kind});
    } catch (const std::exception& e) {
        m_rows.clear();
        msg::report(e);
    }
    Grid_log->setRowCount(int(m_rows.size()));
    for (int i = 0; i < m_rows.size(); ++i) {
        const LogRow& r = m_rows[i];
        const QString cells[] = {r.at.toString(QStringLiteral("HH:mm:ss.zzz")),
                                 LogKind::label(r.kind),
                                 r.timetable,
                                 r.start,
                                 r.entry,
                                 r.path,
                                 r.detail};
        for (int c = 0; c < 7; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (r.kind == LogKind::failure || r.kind == LogKind::missed)
                item->setForeground(QColor(Qt::red));
            Grid_log->setItem(i, c, item);
        }
    }
    Grid_log->resizeColumnsToContents();
}

bool AsRunLogWindow::exportCsv() {
    const QString suggested =
        QStringLiteral("vorn-log-%1.csv").arg(DateEdit_day->date().toString(Qt::ISODate));
    const QString path = saveChooser()
                             ? saveChooser()(this, suggested)
                             : QFileDialog::getSaveFileName(this, tr("导出播出日志"), suggested,
                                                            tr("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(AsRunLog::csv(m_rows)) < 0 ||
        !file.commit()) {
        msg::error(tr("无法写入文件：%1").arg(path));
        return false;
    }
    return true;
}

void AsRunLogWindow::saveKeepDays() {
    if (!ExtraTables::setSetting(m_dm, QStringLiteral("日志保留天数"),
                                 QString::number(SpinBox_keep->value())))
        msg::error(tr("数据库写入出错!"));
}
