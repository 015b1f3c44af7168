#include "editing/EntryDialogBase.h"

#include "base/MessageService.h"
#include "base/Services.h"
#include "data/datamodule.h"
#include "editing/EntryChecks.h"
#include "platform/MediaDevice.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {
EntryDialogBase::FileChooser& chooser() {
    static EntryDialogBase::FileChooser c;
    return c;
}

// Lets the operator type a time as digits straight into a time field:
// "073005" gives 07:30:05, "0745" gives 07:45:00. Each digit sets the time at
// once; a digit that would make no time of day is refused. Leaving the field,
// or any other key, starts over.
class TypedDigits : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* picker = qobject_cast<QTimeEdit*>(watched);
        if (!picker)
            return false;
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            m_digits.clear();
            return false;
        }
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() != 1 || !text.at(0).isDigit() ||
            (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
            m_digits.clear();
            return false;
        }
        QString digits = (m_digits.size() >= 6 || m_picker != picker ? QString() : m_digits) + text;
        const QString full = digits.leftJustified(6, QLatin1Char('0'));
        const QTime time(full.left(2).toInt(), full.mid(2, 2).toInt(), full.mid(4, 2).toInt());
        if (!time.isValid())
            return true; // no such time: the digit is refused
        m_digits = digits;
        m_picker = picker;
        picker->setTime(time);
        return true;
    }

private:
    QString m_digits;
    QTimeEdit* m_picker = nullptr;
};

QString defaultChoose(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(),
                                        EntryDialogBase::qtFilter(filter));
}
} // namespace

const QString EntryDialogBase::openFilter = QStringLiteral(
    "歌曲列表或歌曲文件(*.pl3;*.mp3;*.wma;*.wav)|*.pl3;*.mp3;*.wma;*.wav|歌曲列表(*.pl3)|*.pl3|"
    "歌曲文件(*.mp3;*.wma;*.wav)|*.mp3;*.wma;*.wav");

void EntryDialogBase::setFileChooser(FileChooser c) {
    chooser() = std::move(c);
}

QString EntryDialogBase::qtFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns << p.toLower();
            if (p.toUpper() != p.toLower())
                patterns << p.toUpper();
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

EntryDialogBase::EntryDialogBase(QWidget* owner) : QDialog(owner) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(true);

    auto named = [](auto* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    Label1 = named(new QLabel(tr("名        称："), this), "Label1");
    Edit1 = named(new QLineEdit(this), "Edit1");
    Label2 = named(new QLabel(tr("开始时间："), this), "Label2");
    DateTimePicker1 = named(new QTimeEdit(QTime(0, 0, 0), this), "DateTimePicker1");
    Label3 = named(new QLabel(tr("结束时间："), this), "Label3");
    DateTimePicker2 = named(new QTimeEdit(QTime(0, 0, 0), this), "DateTimePicker2");
    auto* typedDigits = new TypedDigits(this);
    for (QTimeEdit* picker : {DateTimePicker1, DateTimePicker2}) {
        picker->setDisplayFormat(QLatin1String(TimetableEntries::timeFormat));
        picker->installEventFilter(typedDigits);
    }
    Label7 = named(new QLabel(tr("（结束时间已根据单首歌曲时长自动调整）"), this), "Label7");
    Label7->setStyleSheet(QStringLiteral("color: red;"));
    Label7->setVisible(false);
    Label4 = named(new QLabel(tr("单首歌曲或歌曲列表："), this), "Label4");
    Edit8 = named(new QLineEdit(this), "Edit8");
    Button1 = named(new QPushButton(QStringLiteral("..."), this), "Button1");
    Label6 = named(new QLabel(tr("时长："), this), "Label6");
    Label_longer = named(new QLabel(this), "Label_longer");
    Label5 = named(new QLabel(tr("播放方式："), this), "Label5");
    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    // Only the four modes the playback knows; stored as these very texts.
    ComboBox1->setEditable(false);
    ComboBox1->addItems(EntryChecks::playModes());
    ComboBox1->setCurrentIndex(1); // "随机播放"
    Edit4 = named(new QLineEdit(this), "Edit4");
    Edit4->setVisible(false);
    Button2 = named(new QPushButton(tr("保存"), this), "Button2");
    Button3 = named(new QPushButton(tr("取消"), this), "Button3");
    // Enter saves: "..." comes first and would otherwise be the default.
    for (QPushButton* b : {Button1, Button3})
        b->setAutoDefault(false);
    Button2->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 2);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(DateTimePicker1, 1, 1);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(DateTimePicker2, 2, 1);
    grid->addWidget(Label7, 2, 2);
    grid->addWidget(Label4, 3, 0);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(Edit8, 1);
    pathRow->addWidget(Button1);
    grid->addLayout(pathRow, 3, 1, 1, 2);
    grid->addWidget(Label6, 4, 0);
    grid->addWidget(Label_longer, 4, 1, 1, 2);
    grid->addWidget(Label5, 5, 0);
    grid->addWidget(ComboBox1, 5, 1);
    grid->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    buttons->addStretch();
    m_layout = new QVBoxLayout(this);
    m_layout->addLayout(grid);
    m_layout->addStretch();
    m_layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &EntryDialogBase::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &EntryDialogBase::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
    connect(DateTimePicker1, &QTimeEdit::timeChanged, this,
            &EntryDialogBase::DateTimePicker1Change);
    connect(DateTimePicker2, &QTimeEdit::timeChanged, this,
            &EntryDialogBase::DateTimePicker2Change);
}

EntryDialogBase::~EntryDialogBase() = default;

QString EntryDialogBase::pickerDuration() const {
    return TimetableEntries::durationText(DateTimePicker1->time(), DateTimePicker2->time());
}

void EntryDialogBase::setTimesQuietly(const QTime& start, const QTime& end) {
    const QSignalBlocker b1(DateTimePicker1);
    const QSignalBlocker b2(DateTimePicker2);
    DateTimePicker1->setTime(start);
    DateTimePicker2->setTime(end);
}

void EntryDialogBase::Button1Click() {
    const FileChooser& choose = chooser() ? chooser() : FileChooser(defaultChoose);
    const QString chosen = choose(this, tr("请选择歌曲列表或歌曲文件"), openFilter);
    if (!chosen.isEmpty())
        Edit8->setText(chosen);
    // Whatever the box holds now is looked at, chosen or typed.
    const QString path = Edit8->text();
    if (!TimetableEntries::isMeasuredSong(path)) {
        Label_longer->setText(unmeasuredDurationText());
        return;
    }
    try {
        if (!m_player) {
            m_player = Services::createMediaDevice(this);
            m_player->setObjectName(QStringLiteral("MediaPlayer1"));
        }
    } catch (const std::exception& e) {
        msg::report(e);
        return;
    }
    QString why;
    const std::optional<qint64> length = TimetableEntries::measureSong(*m_player, path, &why);
    if (!length) {
        // The path stays; duration, end time, mode and notice are left alone.
        msg::error(why);
        return;
    }
    Label_longer->setText(TimetableEntries::songLengthText(*length));
    {
        const QSignalBlocker quiet(DateTimePicker2); // not an operator change
        DateTimePicker2->setTime(TimetableEntries::endTimeAfter(DateTimePicker1->time(), *length));
    }
    ComboBox1->setCurrentIndex(2); // "单曲播放"
    Label7->setVisible(true);
}

void EntryDialogBase::Button2Click() {
    if (Edit8->text().trimmed().isEmpty()) {
        msg::error(tr("歌曲列表或单首歌曲不能为空。"), tr("出错"));
        Edit8->setFocus();
        return;
    }
    // What is stored is always the entry's duration, never a song length.
    Label_longer->setText(pickerDuration());
    TimetableEntry entry;
    entry.name = Edit1->text().trimmed();
    entry.start = TimetableEntries::timeText(DateTimePicker1->time());
    entry.end = TimetableEntries::timeText(DateTimePicker2->time());
    entry.path = Edit8->text();
    entry.duration = Label_longer->text();
    entry.mode = ComboBox1->currentText();
    entry.timetable = Edit4->text();
    const QStringList problems = warnings(entry);
    if (!problems.isEmpty() &&
        Services::messages().show(
            tr("请注意：\n%1\n\n仍要保存吗?").arg(problems.join(QLatin1Char('\n'))), tr("提示"),
            MessageService::Icon::Warning,
            MessageService::Buttons::OkCancel) != MessageService::Answer::Ok)
        return; // the dialog stays open for a correction
    if (!writeEntry(entry))
        msg::error(writeFailedText());
    afterWrite();
    accept();
}

QStringList EntryDialogBase::warnings(const TimetableEntry& entry) const {
    QStringList problems;
    if (EntryChecks::endBeforeStart(entry.start, entry.end))
        problems << tr("· 结束时间 %1 早于开始时间 %2").arg(entry.end, entry.start);
    if (!EntryChecks::fileExists(entry.path))
        problems << tr("· 文件不存在：%1").arg(entry.path);
    EntryChecks::Span mine;
    if (DataModule1 && EntryChecks::spanOf(entry.start, entry.end, {}, &mine)) {
        try {
            TQuery q(DataModule1->connectionName());
            q.setSql(QStringLiteral("select ID, 名称, 开始时间, 结束时间, 时长 from sjb where "
                                    "时间表名称=? order by 开始时间, ID"));
            q.open({entry.timetable});
            for (q.first(); !q.eof(); q.next()) {
                if (q.value(QStringLiteral("ID")).toLongLong() == editedId())
                    continue;
                const QString start = q.text(QStringLiteral("开始时间"));
                const QString end = q.text(QStringLiteral("结束时间"));
                EntryChecks::Span other;
                if (!EntryChecks::spanOf(start, end, q.text(QStringLiteral("时长")), &other))
                    continue;
                if (start == entry.start || EntryChecks::overlap(mine, other))
                    problems << tr("· 与“%1”（%2–%3）时间重叠")
                                    .arg(q.text(QStringLiteral("名称")), start, end);
            }
        } catch (const std::exception&) {
            // The other entries cannot be read: nothing to compare with.
        }
    }
    return problems;
}

void EntryDialogBase::DateTimePicker1Change() {
    Label_longer->setText(pickerDuration());
}

void EntryDialogBase::DateTimePicker2Change() {
    Label7->setVisible(false);
    Label_longer->setText(pickerDuration());
}
