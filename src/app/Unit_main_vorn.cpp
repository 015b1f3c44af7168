#include "app/Unit_main_vorn.h"

#include "base/Services.h"
#include "data/AsRunLog.h"
#include "data/DataModuleUi.h"
#include "data/DatabaseFile.h"
#include "data/ExtraTables.h"
#include "data/datamodule.h"
#include "desk/AsRunRecorder.h"
#include "desk/CheckRunner.h"
#include "desk/DayStatus.h"
#include "desk/DeskWidgets.h"
#include "desk/DeskWindows.h"
#include "editing/ExceptionsWindow.h"
#include "editing/SongList.h"
#include "editing/Unit_lbbj.h"
#include "editing/Unit_lbch.h"
#include "editing/Unit_sjbp.h"
#include "editing/Unit_sjsj.h"
#include "player/RecordingTake.h"
#include "player/Unit_player.h"
#include "schedule/ScheduleClock.h"
#include "schedule/ScheduledPlayback.h"
#include "search/Unit_findsong.h"
#include "settings/SystemSettings.h"
#include "settings/Unit_closepc.h"
#include "settings/Unit_mm.h"
#include "settings/Unit_mmsj.h"
#include "settings/Unit_sysj.h"
#include "settings/funVolume.h"
#include "shell/About.h"
#include "shell/AboutLinks.h"
#include "shell/StartupWarmUp.h"
#include "shell/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QSplitter>
#include <QSqlDatabase>
#include <QStyle>
#include <QTableView>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <optional>

TForm_main_vorn* Form_main_vorn = nullptr;

namespace {
const char* const iconFolder = ":/vorn/icons";
// The tray's pictures: the program's own, then the two it changes to while it plays.
const char* const trayIcons[] = {":/vorn/icon0.png", ":/vorn/icon1.png", ":/vorn/icon2.png"};

QIcon ownIcon(const char* name) {
    return StartupWarmUp::icon(
        QStringLiteral("%1/%2.png").arg(QLatin1String(iconFolder), QLatin1String(name)));
}

QToolButton* toolButton(QToolBar* bar, const char* name, const QString& caption,
                        const QString& hint, const QIcon& icon) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setToolTip(hint);
    b->setIcon(icon);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setMinimumHeight(21);
    bar->addWidget(b);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

// A notice that shows its whole text: wrapped (also inside long paths) and,
// past a few lines, cut with "…" and shown whole in its tooltip.
class NoticeLabel : public QLabel {
public:
    static constexpr int maxLines = 3;

    explicit NoticeLabel(QWidget* parent) : QLabel(parent) {
        setWordWrap(true);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    void setNotice(const QString& text) {
        m_full = text;
        setToolTip(text);
        refit();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        refit();
    }
    void showEvent(QShowEvent* event) override {
        QLabel::showEvent(event);
        refit();
    }

private:
    void refit() {
        if (!isVisible()) {
            setText(m_full); // laid out once it is shown
            return;
        }
        const int width = qMax(40, contentsRect().width());
        QString shown;
        int lines = 0;
        for (const QString& paragraph : m_full.split(QLatin1Char('\n'))) {
            QTextLayout layout(paragraph, font());
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                QString piece = paragraph.mid(line.textStart(), line.textLength());
                if (++lines == maxLines && line.textStart() + line.textLength() < paragraph.size())
                    piece = fontMetrics().elidedText(paragraph.mid(line.textStart()),
                                                     Qt::ElideRight, width);
                if (!shown.isEmpty())
                    shown += QLatin1Char('\n');
                shown += piece;
                if (lines == maxLines)
                    break;
            }
            layout.endLayout();
            if (lines == maxLines)
                break;
        }
        setText(shown);
    }

    QString m_full;
};

// Colours are set in palettes rather than style sheets: a style sheet sends
// the widget and all it holds through the style-sheet engine, which the
// desk's start-up paid for. They look the same.
void setColours(QWidget* widget,
                std::initializer_list<std::pair<QPalette::ColorRole, QColor>> colours) {
    QPalette palette = widget->palette();
    for (const auto& [role, colour] : colours)
        palette.setColor(role, colour);
    widget->setPalette(palette);
}

// The day's grid and the now-playing list: sky blue, their headers and
// scroll bars tinted with it.
void setSkyBlue(QWidget* view) {
    const QColor skyBlue(0xa6, 0xca, 0xf0);
    setColours(
        view,
        {{QPalette::Base, skyBlue}, {QPalette::Window, skyBlue}, {QPalette::Button, skyBlue}});
}

// The date in a Kai (brush) face, the clock's digits in a serif one.
const FontFor dateFamily{QStringLiteral("KaiTi"), QStringLiteral("zh-cn")};
const FontFor timeFamily{QStringLiteral("Serif"), QStringLiteral("en")};

QFont dateFont() {
    QFont font;
    StartupWarmUp::setPicked(font, dateFamily);
    font.setPixelSize(12);
    return font;
}

QFont timeFont() {
    QFont font;
    StartupWarmUp::setPicked(font, timeFamily);
    font.setPixelSize(28);
    font.setBold(true);
    return font;
}
} // namespace

QStringList TForm_main_vorn::imagesShown() {
    // The program's own first: the window needs it before it is built.
    QStringList images;
    for (const char* tray : trayIcons)
        images << QString::fromLatin1(tray);
    // Named by their ending: a name filter would compile a pattern for it.
    const QDir icons(QString::fromLatin1(iconFolder));
    for (const QString& name : icons.entryList(QDir::Files))
        if (name.endsWith(QLatin1String(".png")))
            images << icons.filePath(name);
    return images;
}

FontFor TForm_main_vorn::textFont() {
    return {QStringLiteral("Sans Serif"), QStringLiteral("zh-cn")};
}

QList<FontFor> TForm_main_vorn::fontsShown() {
    return {textFont(), dateFamily, timeFamily};
}

TForm_main_vorn::TForm_main_vorn(TDataModule1& dm, QWidget* parent)
    : QWidget(parent), m_dm(dm), m_schedule(new ScheduleClock(dm, this)),
      m_playback(new ScheduledPlayback(dm, *m_schedule, this)), m_log(new AsRunLog(dm, this)),
      m_recorder(new AsRunRecorder(dm, *m_log, *m_schedule, *m_playback, this)),
      m_dayStatus(new DayStatus(*m_log, *m_schedule, *m_playback, this)),
      m_gridModel(new DayGridModel(*dm.qry_show, *m_dayStatus, this)),
      m_checkRunner(new CheckRunner(dm, this)) {
    Form_main_vorn = this;
    setObjectName(QStringLiteral("Form_main_vorn"));
    setWindowTitle(tr("广播站播音系统 "));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);

    // Toolbar at the top left, date and clock at the top right.
    ControlBar2 = new QWidget(this);
    ControlBar2->setObjectName(QStringLiteral("ControlBar2"));
    ToolBar2 = new QToolBar(ControlBar2);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setIconSize(QSize(16, 16));
    ToolBar2->setMovable(false);
    // The desk's own buttons go on a second bar: beside the first one where
    // the window is wide enough, else in a row under it (see fitToolbar).
    ToolBar_desk = new QToolBar(ControlBar2);
    ToolBar_desk->setObjectName(QStringLiteral("ToolBar_desk"));
    ToolBar_desk->setIconSize(QSize(16, 16));
    ToolBar_desk->setMovable(false);
    m_barGrid = new QGridLayout(ControlBar2);
    m_barGrid->setContentsMargins(0, 0, 0, 0);
    m_barGrid->setSpacing(0);
    m_barGrid->addWidget(ToolBar2, 0, 0, Qt::AlignLeft);
    m_barGrid->addWidget(ToolBar_desk, 0, 1, Qt::AlignLeft);
    ToolButton5 = toolButton(ToolBar2, "ToolButton5", tr("时间表编辑"), tr("时间表编辑"),
                             ownIcon("timetable"));
    m_themedButtons.append({ToolButton5, "x-office-calendar"});
    ToolButton10 = toolButton(ToolBar2, "ToolButton10", tr("歌曲列表编辑"),
                              tr("歌曲列表(内容为一些歌名集合的文件)编辑"), ownIcon("playlist"));
    m_themedButtons.append({ToolButton10, "audio-x-generic"});
    ToolButton1 = toolButton(ToolBar2, "ToolButton1", tr("时间表设置"), tr("设置各天对应的时间表"),
                             ownIcon("weekdays"));
    m_themedButtons.append({ToolButton1, "preferences-system-time"});
    ToolButton13 = toolButton(ToolBar2, "ToolButton13", tr("密码设置"), tr("设置和修改密码"),
                              ownIcon("password"));
    m_themedButtons.append({ToolButton13, "dialog-password"});
    ToolButton14 = toolButton(ToolBar2, "ToolButton14", tr("系统设置"),
                              tr("自启动、定时关机、控制音量等设置"), ownIcon("settings"));
    m_themedButtons.append({ToolButton14, "preferences-system"});
    ToolButton2 = toolButton(ToolBar2, "ToolButton2", tr("常用乐曲播放"), tr("音乐播放器"),
                             ownIcon("player"));
    m_themedButtons.append({ToolButton2, "multimedia-player"});
    ToolButton3 =
        toolButton(ToolBar2, "ToolButton3", tr("关于"), tr("作者相关信息"), ownIcon("about"));
    m_themedButtons.append({ToolButton3, "help-about"});
    connect(ToolButton5, &QToolButton::clicked, this, &TForm_main_vorn::ToolButton5Click);
    connect(ToolButton10, &QToolButton::clicked, this, &TForm_main_vorn::ToolButton10Click);
    connect(ToolButton1, &QToolButton::clicked, this, &TForm_main_vorn::ToolButton1Click);
    connect(ToolButton13, &QToolButton::clicked, this, &TForm_main_vorn::ToolButton13Click);
    connect(ToolButton14, &QToolButton::clicked, this, &TForm_main_vorn::ToolButton14Click);
    connect(ToolButton2, &QToolButton::clicked, this, &TForm_main_vorn::ToolButton2Click);
    connect(ToolButton3, &QToolButton::clicked, this, &TForm_main_vorn::ToolButton3Click);

    Label_date = label(this, "Label_date", tr("2000年12月12日 星期一"));
    Label_date->setFont(dateFont());
    Label_date->setAlignment(Qt::AlignCenter);
    Label_time = label(this, "Label_time",
                       Services::clock().now().time().toString(QStringLiteral("HH:mm:ss")));
    Label_time->setFont(timeFont());
    Label_time->setAlignment(Qt::AlignCenter);
    setColours(Label_time, {{QPalette::WindowText, Qt::white}, {QPalette::Window, Qt::black}});
    Label_time->setAutoFillBackground(true);
    Label_time->setMinimumWidth(
        Label_time->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 24);
    Label_time->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);

    // Today's timetable on the left, the songs of the running entry on the right;
    // the divider between them can be moved.
    m_panes = new QSplitter(Qt::Horizontal, this);
    m_panes->setObjectName(QStringLiteral("panes"));
    m_panes->setChildrenCollapsible(false);
    auto* timetablePane = new QWidget(m_panes);
    m_playingPane = new QWidget(m_panes);

    Label_sjlb = label(timetablePane, "Label_sjlb", tr("今日时间表："));
    DBGrid1 = new QTableView(timetablePane);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    setSkyBlue(DBGrid1);
    SetCompactGridFont(DBGrid1);
    DBGrid1->setToolTip(tr("双击查看歌曲列表内容"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(20);
    DBGrid1->setModel(m_gridModel); // today's rows, with each row's state
    connect(m_dm.qry_show, &TQuery::currentRowChanged, this, &TForm_main_vorn::followCurrentRow);
    connect(DBGrid1, &QTableView::clicked, this,
            [this](const QModelIndex& index) { m_dm.qry_show->setCurrentRow(index.row()); });
    connect(DBGrid1, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        m_dm.qry_show->setCurrentRow(index.row());
        DBGrid1DblClick();
    });
    auto* timetableLayout = new QVBoxLayout(timetablePane);
    timetableLayout->setContentsMargins(0, 0, 0, 0);
    timetableLayout->addWidget(Label_sjlb);
    timetableLayout->addWidget(DBGrid1, 1);

    Label9 = label(m_playingPane, "Label9", tr("正在播放的歌曲："));
    ListBox5 = new QListWidget(m_playingPane);
    ListBox5->setObjectName(QStringLiteral("ListBox5"));
    setSkyBlue(ListBox5);
    ListBox5->setToolTip(tr("双击歌名可进行选中歌曲播放"));
    ListBox6 = new QListWidget(this);
    ListBox6->setObjectName(QStringLiteral("ListBox6"));
    ListBox6->hide();

    // The progress row keeps its height while nothing plays, so the list above
    // does not jump when a song starts.
    TrackBar2 = new QSlider(Qt::Horizontal, m_playingPane);
    TrackBar2->setObjectName(QStringLiteral("TrackBar2"));
    TrackBar2->setToolTip(tr("播放进度"));
    Label_nowtime2 = label(m_playingPane, "Label_nowtime2", QString());
    Label_alltime2 = label(m_playingPane, "Label_alltime2", QString());
    for (QLabel* time : {Label_nowtime2, Label_alltime2})
        time->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    Label_nowtime2->setAlignment(Qt::AlignVCenter | Qt::AlignRight);
    SpeedButton1 = new QToolButton(m_playingPane);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(ownIcon("stop"));
    m_themedButtons.append({SpeedButton1, "media-playback-stop"});
    SpeedButton1->setIconSize(QSize(16, 16));
    SpeedButton1->setToolTip(tr("停止自动播放歌曲"));
    for (QWidget* w : {static_cast<QWidget*>(TrackBar2), static_cast<QWidget*>(SpeedButton1)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        w->hide();
    }
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(TrackBar2, 1, Qt::AlignVCenter);
    progressRow->addWidget(Label_nowtime2, 0, Qt::AlignVCenter);
    progressRow->addWidget(Label_alltime2, 0, Qt::AlignVCenter);
    progressRow->addWidget(SpeedButton1, 0, Qt::AlignVCenter);

    Label8 = label(m_playingPane, "Label8", QString());
    Label8->setAlignment(Qt::AlignCenter);
    Label8->setWordWrap(true);
    Label_output = new NoticeLabel(m_playingPane);
    Label_output->setObjectName(QStringLiteral("Label_output"));
    setColours(Label_output, {{QPalette::WindowText, Qt::red}});
    Label_output->hide();

    createDeskPanels();

    auto* playingLayout = new QVBoxLayout(m_playingPane);
    playingLayout->setContentsMargins(0, 0, 0, 0);
    playingLayout->addWidget(Label9);
    playingLayout->addWidget(ListBox5, 1);
    playingLayout->addLayout(progressRow);
    playingLayout->addWidget(Label8);
    playingLayout->addWidget(Label_output);

    m_panes->addWidget(timetablePane);
    m_panes->addWidget(m_playingPane);
    m_panes->setStretchFactor(0, 2);
    m_panes->setStretchFactor(1, 1);

    auto* clockColumn = new QVBoxLayout;
    m_clockColumn = clockColumn;
    clockColumn->setSpacing(2);
    clockColumn->addWidget(Label_date);
    clockColumn->addWidget(Label_time);
    clockColumn->addWidget(Label_clocksync);
    clockColumn->addWidget(Label_shutdowns);
    auto* top = new QHBoxLayout;
    top->addWidget(ControlBar2, 0, Qt::AlignTop | Qt::AlignLeft);
    top->addStretch(1);
    top->addLayout(clockColumn);
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(8, 4, 8, 8);
    window->addLayout(top);
    window->addWidget(NextUpPanel1);
    window->addWidget(m_panes, 1);
    window->addWidget(CheckPanel1);
    resize(defaultSize);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setTimerType(Qt::PreciseTimer);
    // Re-armed before the tick runs: a message box opened inside a tick runs
    // its own event loop, and the clock must keep ticking behind it.
    connect(Timer1, &QTimer::timeout, this, [this] {
        armTimer1();
        Timer1Timer();
    });
    Timer_process = new QTimer(this);
    Timer_process->setObjectName(QStringLiteral("Timer_process"));
    Timer_process->setInterval(1000);
    connect(Timer_process, &QTimer::timeout, this, &TForm_main_vorn::Timer_processTimer);

    // Scheduled playback: the schedule drives it, the controls mirror it.
    MediaPlayer2 = nullptr;
    m_schedule->setPlayback(m_playback);
    m_schedule->setCountdownLauncher([this] { openShutdownCountdown(); });
    connect(m_schedule, &ScheduleClock::timetableLoaded, this, &TForm_main_vorn::layoutGridColumns);
    connect(m_schedule, &ScheduleClock::dateTextChanged, Label_date, &QLabel::setText);
    connect(m_schedule, &ScheduleClock::entryFailed, this,
            [this](const QString& time, const QString& reason) {
                m_entryProblem = tr("%1 的节目未能播放").arg(time);
                if (!reason.isEmpty())
                    m_entryProblem += tr("：") + reason;
                updateStatus();
            });
    connect(m_playback, &ScheduledPlayback::entryStarting, this, [this] {
        m_entryProblem.clear();
        updateStatus();
    });
    // A song of the list that cannot be played is passed over; the desk says
    // which and why until the next entry starts.
    connect(m_playback, &ScheduledPlayback::failed, this,
            [this](const QString& path, const QString& reason) {
                m_entryProblem = reason + tr("：") + path;
                updateStatus();
            });
    connect(m_playback, &ScheduledPlayback::entryStarted, this, [this](const QString& startTime) {
        m_dm.qry_show->locate(QStringLiteral("开始时间"), startTime);
    });
    connect(m_playback, &ScheduledPlayback::listsChanged, this, &TForm_main_vorn::mirrorLists);
    connect(m_playback, &ScheduledPlayback::currentIndexChanged, this,
            &TForm_main_vorn::mirrorCurrent);
    connect(m_playback, &ScheduledPlayback::displayChanged, this, &TForm_main_vorn::mirrorDisplay);
    connect(ListBox5, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { ListBox5DblClick(); });
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm_main_vorn::SpeedButton1Click);

    // F1 opens the help page from every window of the program.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, this, &TForm_main_vorn::openHelp);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(tr("显示主窗口"));
    N1->setObjectName(QStringLiteral("N1"));
    N2 = PopupMenu1->addAction(tr("退出"));
    N2->setObjectName(QStringLiteral("N2"));
    connect(N1, &QAction::triggered, this, &TForm_main_vorn::N1Click);
    connect(N2, &QAction::triggered, this, &TForm_main_vorn::N2Click);
    TrayIcon1 = new TTrayIcon(this, this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setPopupMenu(PopupMenu1);
    TrayIcon1->setHide(true);
    TrayIcon1->setRestoreOn(imNone);
    TrayIcon1->setPopupMenuOn(imRightClickUp);
    QList<QIcon> trayPictures;
    for (const char* tray : trayIcons)
        trayPictures << StartupWarmUp::icon(QString::fromLatin1(tray));
    TrayIcon1->setIcons(trayPictures);
    TrayIcon1->setIconIndex(0);
    TrayIcon1->OnClick = [this] { TrayIcon1Click(); };
    TrayIcon1->loaded();
    // However the program is ended, the day is wound up before it goes.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { endTheDay(); });

    // "添加到播放列表" of the song search: the newest player, or a new one.
    TForm_findsong::setPlaylistSink([this](const QString& path) {
        TForm_player* player = Form_player ? Form_player : openPlayer();
        player->appendSongs({path});
    });
}

TForm_main_vorn::~TForm_main_vorn() {
    TForm_findsong::setPlaylistSink(nullptr);
    if (Form_main_vorn == this)
        Form_main_vorn = nullptr;
}

bool TForm_main_vorn::FormCreate() {
    QString problem;
    const QString path = DatabaseFile::storePath(&problem);
    if (!m_dm.OpenDatabase(QStringLiteral("sqlite"), path)) {
        msg::error(problem.isEmpty() ? tr("数据库联接出错!")
                                     : tr("数据库联接出错!") + QLatin1Char('\n') + problem);
        return false;
    }
    // The sound is readied once the window is on screen (loading the sound
    // module may read the disk), and before the clock runs.
    if (!MediaPlayer2)
        createMediaPlayer();
    // The clock runs before anything here can show a box: a box runs its own
    // event loop, and entries due while it waits for OK must still start.
    Label_time->setText(Services::clock().now().time().toString(QStringLiteral("HH:mm:ss")));
    Timer_process->start();
    armTimer1();

    // What the schedule needs is read first, each part by itself; failures
    // are shown once it is all in place.
    QStringList failures;
    auto attempt = [&failures](const std::function<void()>& step) {
        try {
            step();
        } catch (const std::exception& e) {
            failures << QString::fromUtf8(e.what());
        }
    };
    attempt([this] { m_schedule->loadShutdownTimes(); });
    attempt([this] { setTitleText(m_dm.ReadSetting(QStringLiteral("软件标题"))); });
    attempt([this] { m_schedule->LoadTodayTimetable(); });
    std::optional<QString> volume;
    attempt([this, &volume] { volume = m_dm.ReadSetting(QStringLiteral("自动设置音量")); });
    // The output chosen in the settings, taken by the streams the window
    // builds once it shows.
    if (AudioOutputs* outputs = Services::audioOutputs())
        outputs->use(
            ExtraTables::setting(m_dm, QString::fromUtf8(SystemSettings::outputKey)).trimmed());
    // What the log says about today; what was missed while the program was not running.
    m_recorder->noteMissedBeforeStart();
    m_recorder->prune();
    m_dayStatus->reload();
    NextUpPanel1->refresh();
    m_outputProblem = Services::audioOutputProblem();
    updateStatus();
    // Without a notification area the icon is not shown and minimising keeps
    // the taskbar entry.
    TrayIcon1->setVisible(true);

    for (const QString& failure : failures)
        msg::error(failure);
    if (volume)
        ApplyStartupVolume(*volume);
    if (!m_deviceProblem.isEmpty())
        msg::error(m_deviceProblem);
    useThemeIcons();
    return true;
}

void TForm_main_vorn::useThemeIcons() {
    for (const auto& [button, themeName] : std::as_const(m_themedButtons)) {
        const QIcon themed = QIcon::fromTheme(QLatin1String(themeName));
        if (!themed.isNull())
            button->setIcon(themed);
    }
    m_themedButtons.clear();
}

void TForm_main_vorn::startOnceShown() {
    m_startPending = true;
    m_startFallback = new QTimer(this);
    m_startFallback->setSingleShot(true);
    connect(m_startFallback, &QTimer::timeout, this, &TForm_main_vorn::startNow);
    m_startFallback->start(startFallbackMs);
}

void TForm_main_vorn::startNow() {
    if (!m_startPending)
        return;
    m_startPending = false;
    m_startFallback->stop();
    if (!FormCreate()) {
        emit startFailed();
        return;
    }
    m_started = true;
    if (isVisible())
        warmUpOutput();
}

void TForm_main_vorn::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // Once this paint is on the screen, not inside it.
    if (m_startPending)
        QTimer::singleShot(0, this, &TForm_main_vorn::startNow);
}

void TForm_main_vorn::FormShow() {
    Label_date->setText(m_schedule->dateText());
}

void TForm_main_vorn::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
    // Started by hand (tests) or already started: the output is readied now;
    // otherwise once the day is loaded, which also chooses the output.
    if (!m_startPending)
        warmUpOutput();
}

void TForm_main_vorn::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitToolbar();
}

void TForm_main_vorn::fitToolbar() {
    if (!m_clockColumn)
        return;
    QList<QToolButton*> buttons;
    for (QToolBar* bar : {ToolBar2, ToolBar_desk})
        buttons << bar->findChildren<QToolButton*>(
            QRegularExpression(QStringLiteral("^ToolButton")), Qt::FindDirectChildrenOnly);
    const auto setStyle = [&](Qt::ToolButtonStyle style) {
        for (QToolButton* b : buttons)
            b->setToolButtonStyle(style);
    };
    if (m_wideBars.isEmpty()) {
        setStyle(Qt::ToolButtonTextBesideIcon);
        m_wideBars = {ToolBar2->sizeHint().width(), ToolBar_desk->sizeHint().width()};
    }
    const QMargins margins = layout()->contentsMargins();
    const int room = width() - margins.left() - margins.right() -
                     m_clockColumn->sizeHint().width() -
                     style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing);
    const bool oneRow = m_wideBars[0] + m_wideBars[1] <= room;
    const Qt::ToolButtonStyle wanted = std::max(m_wideBars[0], m_wideBars[1]) <= room
                                           ? Qt::ToolButtonTextBesideIcon
                                           : Qt::ToolButtonTextUnderIcon;
    if ((m_barGrid->itemAtPosition(0, 1) != nullptr) != oneRow) {
        m_barGrid->removeWidget(ToolBar_desk);
        m_barGrid->addWidget(ToolBar_desk, oneRow ? 0 : 1, oneRow ? 1 : 0, Qt::AlignLeft);
    }
    if (buttons.first()->toolButtonStyle() != wanted)
        setStyle(wanted);
}

void TForm_main_vorn::warmUpOutput() {
    if (!m_warmedUp && MediaPlayer2) {
        // The sound output is made ready once the window is on screen, in
        // the background, not with the first entry.
        m_warmedUp = true;
        QTimer::singleShot(100, MediaPlayer2, &MediaDevice::warmUp);
        // From then on an outage of the output shows while it lasts.
        MediaPlayer2->watchOutput();
    }
}

void TForm_main_vorn::setTitleText(const QString& title) {
    const QString caption = title + QLatin1Char(' ') + QLatin1String(version);
    setWindowTitle(caption);
    TrayIcon1->setHint(caption);
}

void TForm_main_vorn::LoadTodayTimetable() {
    // Called at start-up and when an editor closes: a failure is reported and
    // the day goes on with the lists as they were left. The grid's columns are
    // laid out when the schedule reports the reload.
    try {
        m_schedule->LoadTodayTimetable();
    } catch (const std::exception& e) {
        msg::report(e);
    }
}

void TForm_main_vorn::layoutGridColumns() {
    const int columns = m_dm.qry_show->columnCount();
    for (int c = 0; c < columns; ++c)
        DBGrid1->setColumnHidden(c, c == 0 || c == 7);
    FitGridColumns(DBGrid1, 4);
}

void TForm_main_vorn::followCurrentRow(int row) {
    if (row >= 0)
        DBGrid1->selectRow(row);
    else
        DBGrid1->clearSelection();
}

void TForm_main_vorn::closeEvent(QCloseEvent* event) {
    // FormCloseQuery: every way of closing passes the password.
    if (AskPassword(this)) {
        event->accept();
        qApp->quit();
    } else {
        event->ignore();
    }
}

void TForm_main_vorn::ToolButton5Click() {
    if (!AskPassword(this))
        return;
    auto* editor = new TForm_sjbp(this); // owned here, deleted when it closes
    editor->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor, &TForm_sjbp::closed, this, &TForm_main_vorn::LoadTodayTimetable);
    connect(editor, &TForm_sjbp::edited, this, &TForm_main_vorn::checkToday);
    editor->show();
}

void TForm_main_vorn::ToolButton10Click() {
    if (!AskPassword(this))
        return;
    // Owned by this window, deleted when it closes.
    auto* editor = new TForm_lbbj(this);
    editor->show();
}

void TForm_main_vorn::ToolButton1Click() {
    if (!AskPassword(this))
        return;
    auto* assignment = new TForm_sjsj(m_dm, this);
    connect(assignment, &TForm_sjsj::closed, this, &TForm_main_vorn::LoadTodayTimetable);
    assignment->show();
}

void TForm_main_vorn::ToolButton13Click() {
    TForm_mmsj change(this);
    change.exec();
}

void TForm_main_vorn::ToolButton14Click() {
    if (!AskPassword(this))
        return;
    openSystemSettings();
}

TForm_sysj* TForm_main_vorn::openSystemSettings() {
    auto* settings = new TForm_sysj(m_dm, this); // deletes itself when closed
    connect(settings, &TForm_sysj::titleChanged, this, &TForm_main_vorn::setTitleText);
    connect(settings, &TForm_sysj::shutdownTimesChanged, this, [this](const QStringList& times) {
        for (int i = 0; i < times.size() && i < 3; ++i)
            m_schedule->setShutdownTime(i, times[i]);
    });
    settings->show();
    return settings;
}

void TForm_main_vorn::ToolButton2Click() {
    openPlayer();
}

TForm_player* TForm_main_vorn::openPlayer() {
    // Owned by the application: the player stays on top of every window,
    // also while the desk is hidden in the tray. Deleted when it closes.
    auto* player = new TForm_player(m_dm);
    connect(player, &TForm_player::searchRequested, this, [] { TForm_findsong::open(); });
    player->show();
    player->FormCreate();
    return player;
}

void TForm_main_vorn::createDeskPanels() {
    ToolButton_log = toolButton(ToolBar_desk, "ToolButton_log", tr("播出日志"),
                                tr("查看和导出播出日志"), ownIcon("timetable"));
    m_themedButtons.append({ToolButton_log, "x-office-document"});
    ToolButton_check = toolButton(ToolBar_desk, "ToolButton_check", tr("播前检查"),
                                  tr("检查某一天的节目能否正常播出"), ownIcon("help"));
    m_themedButtons.append({ToolButton_check, "dialog-information"});
    ToolButton_exceptions =
        toolButton(ToolBar_desk, "ToolButton_exceptions", tr("例外日期"),
                   tr("节假日、考试日等按其他时间表播放或不播音"), ownIcon("weekdays"));
    m_themedButtons.append({ToolButton_exceptions, "x-office-calendar"});
    connect(ToolButton_log, &QToolButton::clicked, this, &TForm_main_vorn::openAsRunLog);
    connect(ToolButton_check, &QToolButton::clicked, this, &TForm_main_vorn::openCheck);
    connect(ToolButton_exceptions, &QToolButton::clicked, this,
            &TForm_main_vorn::ToolButton_exceptionsClick);

    // Placed by the constructor's layout: next up above the panes, the check
    // below them, clock trust and shutdown times under the clock.
    NextUpPanel1 = new NextUpPanel(*m_schedule, *m_dm.qry_show, this);
    Label_shutdowns = NextUpPanel1->Label_shutdowns;
    Label_shutdowns->setAlignment(Qt::AlignCenter);
    Label_clocksync = new ClockTrustLabel(Services::clockSync(), this);
    CheckPanel1 = new CheckPanel(*m_checkRunner, this);

    // The row states follow every tick; the check follows every reload.
    connect(m_schedule, &ScheduleClock::ticked, m_gridModel, &DayGridModel::refreshStates);
    connect(m_schedule, &ScheduleClock::timetableLoaded, this, &TForm_main_vorn::checkToday);
}

void TForm_main_vorn::checkToday() {
    m_checkRunner->check(Services::clock().now().date());
}

QWidget* TForm_main_vorn::openAsRunLog() {
    m_log->flush();
    auto* window = new AsRunLogWindow(m_dm, *m_log, this);
    window->show();
    return window;
}

QWidget* TForm_main_vorn::openCheck() {
    auto* window = new CheckWindow(*m_checkRunner, this);
    window->show();
    window->checkDate(Services::clock().now().date());
    return window;
}

void TForm_main_vorn::ToolButton_exceptionsClick() {
    if (!AskPassword(this))
        return;
    auto* window = new ExceptionsWindow(m_dm, this);
    connect(window, &ExceptionsWindow::closed, this, &TForm_main_vorn::LoadTodayTimetable);
    window->show();
}

void TForm_main_vorn::ToolButton3Click() {
    TAboutFrm about(supportContacts());
    about.exec();
}

void TForm_main_vorn::DBGrid1DblClick() {
    // Only song-list entries open the viewer; anything else, or a failure
    // reading the row, opens nothing.
    try {
        TQuery& q = *m_dm.qry_show;
        if (q.isEmpty() || q.eof())
            return;
        const QString path = q.text(QStringLiteral("歌曲列表或歌曲"));
        if (!SongList::isPlaylistPath(path))
            return;
        auto* viewer = new TForm_lb(path, this);
        viewer->show();
    } catch (const std::exception&) {
    }
}

void TForm_main_vorn::N1Click() {
    TrayIcon1->RestoreFromTray();
}

void TForm_main_vorn::TrayIcon1Click() {
    if (isMinimized() || isHidden())
        TrayIcon1->RestoreFromTray();
    else
        TrayIcon1->MinimizeToTray();
}

AboutLinks::Contacts TForm_main_vorn::supportContacts() const {
    // The school's own settings first, else contact.ini beside the database.
    AboutLinks::Contacts c;
    if (m_dm.isOpen()) {
        c.phone = ExtraTables::setting(m_dm, QStringLiteral("技术支持电话")).trimmed();
        c.mail = ExtraTables::setting(m_dm, QStringLiteral("技术支持邮箱")).trimmed();
        c.web = ExtraTables::setting(m_dm, QStringLiteral("技术支持网址")).trimmed();
    }
    if (c.isEmpty())
        c = AboutLinks::contactsFromFile(
            QFileInfo(QSqlDatabase::database(m_dm.connectionName(), false).databaseName())
                .absoluteDir()
                .filePath(QStringLiteral("contact.ini")));
    return c;
}

void TForm_main_vorn::openHelp() {
    AboutLinks::open(AboutLinks::helpUrl());
}

void TForm_main_vorn::bringToFront() {
    TrayIcon1->RestoreFromTray();
}

void TForm_main_vorn::N2Click() {
    close();
}

void TForm_main_vorn::endTheDay(int takesLimitMs) {
    // The schedule stops first; only then may anything be waited for.
    Timer1->stop();
    Timer_process->stop();
    m_playback->StopEntryPlayback();
    TrayIcon1->setVisible(false);
    hide();
    // Every other window closes as if the operator closed it: a player that
    // is recording saves its take under the date and time.
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            windows << w;
    for (const QPointer<QWidget>& w : windows)
        if (w)
            w->close();
    if (!RecordingTake::finishAll(takesLimitMs))
        qWarning("vorn: a recording was still being saved when the program ended; "
                 "its sound is kept in the temporary folder");
}

void TForm_main_vorn::createMediaPlayer() {
    try {
        m_mediaPlayer2 = Services::createMediaDevice(this);
    } catch (const std::exception& e) {
        m_mediaPlayer2.reset();
        m_deviceProblem =
            tr("没有可用的播放设备，定时播放将没有声音：%1").arg(QString::fromUtf8(e.what()));
    }
    if (!m_mediaPlayer2 && m_deviceProblem.isEmpty())
        m_deviceProblem = tr("没有可用的播放设备，定时播放将没有声音。");
    MediaPlayer2 = m_mediaPlayer2.get();
    if (MediaPlayer2) {
        MediaPlayer2->setObjectName(QStringLiteral("MediaPlayer2"));
        connect(MediaPlayer2, &MediaDevice::outputProblem, this, [this](const QString& text) {
            m_outputProblem = text;
            updateStatus();
        });
    }
    m_playback->setDevice(MediaPlayer2);
    updateStatus();
}

void TForm_main_vorn::updateStatus() {
    QStringList lines;
    for (const QString* text : {&m_deviceProblem, &m_outputProblem, &m_entryProblem})
        if (!text->isEmpty())
            lines << *text;
    static_cast<NoticeLabel*>(Label_output)->setNotice(lines.join(QLatin1Char('\n')));
    Label_output->setVisible(!lines.isEmpty());
}

void TForm_main_vorn::armTimer1() {
    Timer1->start(ScheduleClock::msUntilNextSecond(Services::clock().now()));
}

void TForm_main_vorn::openShutdownCountdown() {
    // Shown modal but without a nested event loop: the tick that opened it
    // finishes its own second, and the schedule keeps running behind it.
    auto* countdown = new TForm_closepc(this);
    countdown->setAttribute(Qt::WA_DeleteOnClose);
    countdown->setWindowModality(Qt::ApplicationModal);
    countdown->show();
    countdown->raise();
    countdown->activateWindow();
}

void TForm_main_vorn::Timer1Timer() {
    m_schedule->Timer1Timer();
}

void TForm_main_vorn::Timer_processTimer() {
    try {
        m_playback->processTick();
    } catch (...) {
        // A device failing in the middle of a fade must not stop the clock.
    }
    Label_time->setText(Services::clock().now().time().toString(QStringLiteral("HH:mm:ss")));
}

void TForm_main_vorn::ListBox5DblClick() {
    m_playback->ListBox5DblClick(ListBox5->currentRow());
}

void TForm_main_vorn::SpeedButton1Click() {
    m_playback->SpeedButton1Click();
}

void TForm_main_vorn::mirrorLists() {
    ListBox6->clear();
    ListBox6->addItems(m_playback->paths());
    ListBox5->clear();
    ListBox5->addItems(m_playback->names());
    mirrorCurrent(m_playback->currentIndex());
}

void TForm_main_vorn::mirrorCurrent(int index) {
    if (index >= 0 && index < ListBox5->count()) {
        ListBox5->setCurrentRow(index);
    } else {
        ListBox5->setCurrentRow(-1);
        ListBox5->clearSelection();
    }
}

void TForm_main_vorn::mirrorDisplay() {
    const ScheduledPlayback::Display& d = m_playback->display();
    Label8->setText(d.nowPlaying);
    Label_alltime2->setText(d.lengthText);
    Label_nowtime2->setText(d.positionText);
    TrackBar2->setRange(0, d.trackMax);
    TrackBar2->setValue(d.trackPosition);
    TrackBar2->setVisible(d.controlsVisible);
    SpeedButton1->setVisible(d.controlsVisible);
}
