#include "player/Unit_player.h"

#include "base/FolderDialog.h"
#include "base/MessageService.h"
#include "base/Services.h"
#include "data/datamodule.h"
#include "platform/MediaDevice.h"
#include "player/PlayerCore.h"
#include "player/PlayerDialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMetaMethod>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <limits>

TForm_player* Form_player = nullptr;

namespace {
const QString kFolderSetting = QStringLiteral("常用乐曲路径");

// Every player window open, oldest first; Form_player is the last.
QList<TForm_player*>& openPlayers() {
    static QList<TForm_player*> players;
    return players;
}

QToolButton* imageButton(QWidget* parent, const char* name, const QIcon& icon, const QString& hint,
                         int x, int y) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(icon);
    b->setIconSize(QSize(22, 22));
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setGeometry(x, y, 32, 32);
    return b;
}

// The record buttons: a red dot, and a red dot in a square (stop and save).
QIcon recordIcon(bool stop) {
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (stop) {
        p.setPen(QPen(QColor(0x20, 0x40, 0x60), 2));
        p.drawRect(2, 2, 18, 18);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd0, 0x20, 0x20));
    p.drawEllipse(QPointF(11, 11), stop ? 5 : 8, stop ? 5 : 8);
    return QIcon(pixmap);
}

int toSlider(qint64 ms) {
    return int(qBound(qint64(0), ms, qint64(std::numeric_limits<int>::max())));
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    return l;
}
} // namespace

TForm_player::TForm_player(TDataModule1& dm, QWidget* owner)
    : QWidget(owner, Qt::Window), m_dm(dm) {
    setObjectName(QStringLiteral("Form_player"));
    setWindowTitle(tr("音乐播放器"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(360, 470);

    try {
        m_device = Services::createMediaDevice(this);
    } catch (const std::exception& e) {
        qWarning("vorn: the player has no media device: %s", e.what());
    }
    MediaPlayer1 = m_device.get();
    if (MediaPlayer1)
        MediaPlayer1->setObjectName(QStringLiteral("MediaPlayer1"));
    m_core = new PlayerCore(MediaPlayer1, this);

    // The top panel: progress, status, buttons, volume.
    Image2 = label(this, "Image2", QString(), QRect(0, 0, 360, 150));
    Image2->setStyleSheet(QStringLiteral(
        "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #dbe9f7, stop:1 #9fc3e6);"));
    Image2->setContextMenuPolicy(Qt::CustomContextMenu);
    Image2->setToolTip(tr("右键单击可打开菜单"));

    QFont songFont(QStringLiteral("KaiTi"));
    songFont.setPixelSize(13);
    Label_file0 = label(this, "Label_file0", QString(), QRect(12, 10, 80, 18));
    Label_file = label(this, "Label_file", QString(), QRect(88, 10, 262, 18));
    for (QLabel* l : {Label_file0, Label_file}) {
        l->setFont(songFont);
        l->setStyleSheet(QStringLiteral("color: teal; background: transparent;"));
    }
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setGeometry(10, 36, 250, 22);
    TrackBar1->setToolTip(tr("播放进度"));
    TrackBar1->setRange(0, 0);
    // A drag seeks once, where it is let go.
    TrackBar1->setTracking(false);
    Label_time2 = label(this, "Label_time2", QString(), QRect(262, 38, 40, 18));
    Label_time2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label_time1 = label(this, "Label_time1", QString(), QRect(304, 38, 52, 18));
    for (QLabel* l : {Label_time2, Label_time1})
        l->setStyleSheet(QStringLiteral("background: transparent;"));

    const QStyle* s = style();
    SpeedButton7 = imageButton(this, "SpeedButton7", s->standardIcon(QStyle::SP_MediaPlay),
                               tr("播放"), 12, 68);
    SpeedButton8 = imageButton(this, "SpeedButton8", s->standardIcon(QStyle::SP_MediaPause),
                               tr("暂停"), 12, 68);
    SpeedButton8->hide();
    SpeedButton8->setEnabled(false);
    SpeedButton9 = imageButton(this, "SpeedButton9", s->standardIcon(QStyle::SP_MediaStop),
                               tr("停止"), 48, 68);
    SpeedButton9->setEnabled(false);
    SpeedButton10 = imageButton(this, "SpeedButton10", s->standardIcon(QStyle::SP_DialogOpenButton),
                                tr("打开..."), 84, 68);
    SpeedButton1 = imageButton(this, "SpeedButton1", recordIcon(false), tr("开始录音"), 130, 68);
    SpeedButton2 =
        imageButton(this, "SpeedButton2", recordIcon(true), tr("停止录音并保存"), 130, 68);
    SpeedButton2->hide();

    Animate1 = new QProgressBar(this);
    Animate1->setObjectName(QStringLiteral("Animate1"));
    Animate1->setGeometry(170, 76, 60, 14);
    Animate1->setRange(0, 0); // runs while shown
    Animate1->setTextVisible(false);
    Animate1->hide();

    auto* volumeIcon = new QLabel(this);
    volumeIcon->setPixmap(s->standardIcon(QStyle::SP_MediaVolume).pixmap(16, 16));
    volumeIcon->setGeometry(240, 76, 16, 16);
    volumeIcon->setStyleSheet(QStringLiteral("background: transparent;"));
    TrackBar2 = new QSlider(Qt::Horizontal, this);
    TrackBar2->setObjectName(QStringLiteral("TrackBar2"));
    TrackBar2->setGeometry(258, 72, 94, 24);
    TrackBar2->setRange(0, 1000);
    TrackBar2->setValue(1000);
    TrackBar2->setToolTip(tr("音量调节"));

    QFont listFont(QStringLiteral("YouYuan"));
    listFont.setPixelSize(13);
    Label4 = label(this, "Label4", tr("播放列表："), QRect(12, 118, 90, 20));
    Label4->setFont(listFont);
    Label4->setStyleSheet(QStringLiteral("background: transparent;"));
    CheckBox2 = new QCheckBox(tr("连续播放"), this);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(170, 118, 86, 20);
    CheckBox1 = new QCheckBox(tr("单曲循环"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(262, 118, 90, 20);

    // The list over its background.
    Image1 = label(this, "Image1", QString(), QRect(0, 150, 360, 320));
    Image1->setStyleSheet(QStringLiteral("background: #7fa9d3;"));
    ListBox3 = new QListWidget(this);
    ListBox3->setObjectName(QStringLiteral("ListBox3"));
    ListBox3->setGeometry(8, 158, 344, 304);
    ListBox3->setStyleSheet(QStringLiteral("background-color: #a6caf0;"));
    ListBox3->setToolTip(tr("双击播放歌曲"));
    ListBox3->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox3->setContextMenuPolicy(Qt::CustomContextMenu);
    ListBox4 = new QListWidget(this);
    ListBox4->setObjectName(QStringLiteral("ListBox4"));
    ListBox4->hide();

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(tr("打开文件..."));
    N2 = PopupMenu1->addAction(tr("搜索歌曲..."));
    N3 = PopupMenu1->addAction(tr("常用乐曲路径设置"));
    N4 = PopupMenu1->addAction(tr("打开系统录音控制窗口"));
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    N5 = PopupMenu2->addAction(tr("清除全部"));
    N6 = PopupMenu2->addAction(tr("清除一首"));
    N7 = PopupMenu2->addAction(tr("打开所在文件夹"));
    const char* names[] = {"N1", "N2", "N3", "N4", "N5", "N6", "N7"};
    QAction* actions[] = {N1, N2, N3, N4, N5, N6, N7};
    for (int i = 0; i < 7; ++i)
        actions[i]->setObjectName(QLatin1String(names[i]));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    connect(SpeedButton7, &QToolButton::clicked, this, &TForm_player::SpeedButton7Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm_player::SpeedButton8Click);
    connect(SpeedButton9, &QToolButton::clicked, this, &TForm_player::SpeedButton9Click);
    connect(SpeedButton10, &QToolButton::clicked, this, &TForm_player::SpeedButton10Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm_player::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm_player::SpeedButton2Click);
    connect(ListBox3, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { ListBox3DblClick(); });
    connect(ListBox3, &QListWidget::currentRowChanged, this,
            [this](int row) { m_core->select(row); });
    connect(TrackBar1, &QSlider::valueChanged, this, [this](int value) { m_core->seekTo(value); });
    connect(TrackBar2, &QSlider::valueChanged, this,
            [this](int value) { m_core->setVolume(value); });
    connect(CheckBox2, &QCheckBox::clicked, this, [this](bool on) { m_core->setContinuous(on); });
    connect(CheckBox1, &QCheckBox::clicked, this, [this](bool on) { m_core->setRepeatOne(on); });
    // The labels drawn over the top picture are part of it: a right-click on
    // them opens its menu too.
    for (QWidget* part : std::initializer_list<QWidget*>{
             Image2, Label_file0, Label_file, Label_time2, Label_time1, Label4, volumeIcon}) {
        part->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(part, &QWidget::customContextMenuRequested, this,
                [this, part](const QPoint& at) { PopupMenu1->popup(part->mapToGlobal(at)); });
    }
    connect(ListBox3, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu2->popup(ListBox3->viewport()->mapToGlobal(at)); });
    connect(N1, &QAction::triggered, this, &TForm_player::SpeedButton10Click);
    connect(N2, &QAction::triggered, this, &TForm_player::N2Click);
    connect(N3, &QAction::triggered, this, &TForm_player::N3Click);
    connect(N4, &QAction::triggered, this, &TForm_player::N4Click);
    connect(N5, &QAction::triggered, this, &TForm_player::N5Click);
    connect(N6, &QAction::triggered, this, &TForm_player::N6Click);
    connect(N7, &QAction::triggered, this, &TForm_player::N7Click);
    connect(Timer1, &QTimer::timeout, this, &TForm_player::Timer1Timer);

    connect(m_core, &PlayerCore::displayChanged, this, &TForm_player::showDisplay);
    connect(m_core, &PlayerCore::listChanged, this, &TForm_player::showList);
    connect(m_core, &PlayerCore::selectionChanged, this, &TForm_player::showSelection);
    connect(m_core, &PlayerCore::optionsChanged, this, [this] {
        CheckBox2->setChecked(m_core->continuous());
        CheckBox1->setChecked(m_core->repeatOne());
    });

    Timer1->start();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    openPlayers().append(this);
    Form_player = this;
}

void TForm_player::unregister() {
    openPlayers().removeAll(this);
    if (Form_player == this)
        Form_player = openPlayers().isEmpty() ? nullptr : openPlayers().constLast();
}

TForm_player::~TForm_player() {
    unregister();
    // The core goes before the device it uses.
    delete m_core;
    m_core = nullptr;
}

void TForm_player::FormCreate() {
    try {
        m_folder = m_dm.ReadSetting(kFolderSetting);
    } catch (const std::exception& e) {
        msg::report(e);
    }
    if (m_folder.trimmed().isEmpty()) {
        const auto answer = Services::messages().show(
            tr("还未设置常用乐曲路径，要设置常用乐曲路径吗?"), tr("提示"),
            MessageService::Icon::Question, MessageService::Buttons::YesNo);
        if (answer == MessageService::Answer::Yes) {
            N3Click();
            return;
        }
    }
    listFolder(m_folder);
}

void TForm_player::listFolder(const QString& folder) {
    if (folder.trimmed().isEmpty())
        m_core->clearAll();
    else
        m_core->loadFolder(folder);
}

void TForm_player::appendSongs(const QStringList& paths) {
    m_core->appendSongs(paths);
}

// --- showing the core --------------------------------------------------------

void TForm_player::showDisplay() {
    const PlayerCore::Display& d = m_core->display();
    Label_file0->setText(d.status);
    Label_file->setText(d.song);
    Label_file->setToolTip(d.song);
    Label_time2->setText(d.positionText);
    Label_time1->setText(d.lengthText);
    {
        // The slider follows the device; only the operator's moves seek.
        const QSignalBlocker block(TrackBar1);
        TrackBar1->setRange(0, toSlider(d.trackMax));
        // The handle stays where the operator holds it.
        if (!TrackBar1->isSliderDown())
            TrackBar1->setValue(toSlider(d.trackPosition));
    }
    SpeedButton7->setVisible(d.playShown);
    SpeedButton7->setEnabled(d.playEnabled);
    SpeedButton8->setVisible(!d.playShown);
    SpeedButton8->setEnabled(d.pauseEnabled && d.playEnabled);
    SpeedButton9->setEnabled(d.stopEnabled);
    SpeedButton10->setEnabled(d.openEnabled);
    N1->setEnabled(d.openEnabled);
    SpeedButton1->setVisible(d.recordShown);
    SpeedButton2->setVisible(!d.recordShown);
    Animate1->setVisible(d.animationOn);
}

void TForm_player::showList() {
    const QSignalBlocker block(ListBox3);
    ListBox3->clear();
    ListBox4->clear();
    ListBox3->addItems(m_core->list().names());
    ListBox4->addItems(m_core->list().paths());
    showSelection(m_core->list().selected());
}

void TForm_player::showSelection(int index) {
    const QSignalBlocker block(ListBox3);
    if (index >= 0 && index < ListBox3->count()) {
        ListBox3->setCurrentRow(index);
    } else {
        ListBox3->setCurrentRow(-1);
        ListBox3->clearSelection();
    }
}

// --- actions -----------------------------------------------------------------

void TForm_player::SpeedButton7Click() {
    m_core->play();
}

void TForm_player::ListBox3DblClick() {
    m_core->playAt(ListBox3->currentRow());
}

void TForm_player::SpeedButton8Click() {
    m_core->pause();
}

void TForm_player::SpeedButton9Click() {
    m_core->stop();
}

void TForm_player::SpeedButton10Click() {
    const QStringList files = PlayerDialogs::current().chooseSongs(this);
    m_core->addFiles(files);
}

void TForm_player::SpeedButton1Click() {
    m_core->startRecording();
}

void TForm_player::SpeedButton2Click() {
    m_core->stopRecording();
    const QString target = PlayerDialogs::current().chooseRecordingFile(this, m_folder);
    m_core->saveRecording(target);
}

void TForm_player::N2Click() {
    if (isSignalConnected(QMetaMethod::fromSignal(&TForm_player::searchRequested)))
        emit searchRequested(this);
    else
        msg::notice(tr("本程序中没有歌曲搜索窗口。"));
}

void TForm_player::N3Click() {
    setCommonFolder();
}

void TForm_player::setCommonFolder() {
    const QString chosen = SelectFolderDialog(this, tr("请选择文件夹"));
    if (chosen.isEmpty())
        return;
    m_dm.WriteSetting(kFolderSetting, chosen);
    try {
        m_folder = m_dm.ReadSetting(kFolderSetting);
    } catch (const std::exception& e) {
        msg::report(e);
    }
    listFolder(m_folder);
}

void TForm_player::N4Click() {
    RecordingControl* control = Services::recordingControl();
    QString error;
    if (!control || !control->open(&error))
        Services::messages().show(error.isEmpty() ? tr("找不到系统录音控制程序。") : error,
                                  tr("提示"), MessageService::Icon::Information);
}

void TForm_player::N5Click() {
    m_core->clearAll();
}

void TForm_player::N6Click() {
    m_core->clearOne();
}

void TForm_player::N7Click() {
    const PlayList::Entry* entry = m_core->list().selectedEntry();
    if (!entry)
        return;
    if (FileManager* files = Services::fileManager())
        files->showItem(entry->path);
}

void TForm_player::Timer1Timer() {
    m_core->tick();
}

void TForm_player::closeEvent(QCloseEvent* event) {
    Timer1->stop();
    m_core->closing(m_folder);
    unregister();
    QWidget::closeEvent(event);
}
