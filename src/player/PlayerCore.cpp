#include "player/PlayerCore.h"

#include "base/MessageService.h"
#include "base/PlayText.h"
#include "base/Services.h"
#include "platform/MediaDevice.h"
#include "player/RecordingTake.h"
#include "settings/funVolume.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPromise>
#include <QStandardPaths>
#include <memory>
#include <thread>

namespace {
// How close to its end a song still reported as playing counts as ended (ms).
constexpr qint64 kEndTolerance = 1000;

QString playingText() {
    return PlayerCore::tr("正在播放：");
}
QString stoppedText() {
    return PlayerCore::tr("停止播放：");
}

PlayerCore::FolderReader& folderReader() {
    static PlayerCore::FolderReader reader = &PlayList::folderSongs;
    return reader;
}
} // namespace

PlayerCore::PlayerCore(MediaDevice* device, QObject* parent) : QObject(parent), m_device(device) {
    if (!m_device)
        return;
    connect(m_device, &MediaDevice::finished, this, &PlayerCore::songEnded);
    connect(m_device, &MediaDevice::failed, this,
            [this](const QString& fileName) { deviceFailed(fileName); });
    connect(m_device, &MediaDevice::lengthChanged, this, &PlayerCore::lengthKnown);
}

PlayerCore::~PlayerCore() = default;

// --- the list ------------------------------------------------------------------

void PlayerCore::setFolderReader(FolderReader reader) {
    folderReader() = reader ? std::move(reader) : FolderReader(&PlayList::folderSongs);
}

void PlayerCore::loadFolder(const QString& folder) {
    using Songs = QVector<PlayList::Entry>;
    delete m_listing; // an older listing still running is not waited for
    m_listing = nullptr;
    m_list.clear();
    emit listChanged();
    emit selectionChanged(-1);
    if (folder.trimmed().isEmpty())
        return;
    auto promise = std::make_shared<QPromise<Songs>>();
    promise->start();
    auto* watcher = new QFutureWatcher<Songs>(this);
    m_listing = watcher;
    connect(watcher, &QFutureWatcher<Songs>::finished, this, [this, watcher] {
        if (m_listing != watcher)
            return;
        m_listing = nullptr;
        watcher->deleteLater();
        if (watcher->future().resultCount() == 0)
            return;
        m_list.prepend(watcher->result());
        emit listChanged();
        emit selectionChanged(m_list.selected());
    });
    watcher->setFuture(promise->future());
    // A detached thread rather than a pool: a folder that never answers must
    // not hold up the end of the program.
    std::thread([promise, folder, read = folderReader()] {
        Songs songs;
        try {
            songs = read(folder);
        } catch (...) {
        }
        promise->addResult(std::move(songs));
        promise->finish();
    }).detach();
}

void PlayerCore::appendSongs(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    m_list.append(paths);
    emit listChanged();
}

void PlayerCore::select(int index) {
    m_list.select(index);
}

void PlayerCore::setSelected(int index) {
    m_list.select(index);
    emit selectionChanged(m_list.selected());
}

void PlayerCore::clearAll() {
    delete m_listing;
    m_listing = nullptr;
    m_list.clear();
    emit listChanged();
    emit selectionChanged(-1);
}

void PlayerCore::clearOne() {
    if (!m_list.hasSelection())
        return;
    m_list.removeAt(m_list.selected());
    emit listChanged();
    emit selectionChanged(-1);
}

bool PlayerCore::songExists(int index) const {
    if (index < 0 || index >= m_list.count())
        return false;
    const QString& path = m_list.at(index).path;
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// --- playback ------------------------------------------------------------------

bool PlayerCore::startSelected() {
    const PlayList::Entry* entry = m_list.selectedEntry();
    if (!m_device || !entry)
        return false;
    m_started.clear();
    if (!m_device->open(entry->path))
        return false;
    m_started = entry->path;
    m_notify = true;
    SetMCIVolume(m_device, m_volume);
    if (!m_device->play(true)) {
        m_started.clear();
        m_device->close();
        return false;
    }
    showPlaying();
    m_display.song = entry->name;
    // The length may only be known once the file has been read a little.
    showLength(m_device->length());
    m_display.trackPosition = 0;
    m_display.positionText = FormatPlayTime(0);
    changed();
    return true;
}

void PlayerCore::showLength(qint64 ms) {
    m_display.trackMax = qMax<qint64>(0, ms);
    m_display.lengthText = ms > 0 ? QStringLiteral("/ ") + FormatPlayTime(ms) : QString();
}

void PlayerCore::lengthKnown(qint64 ms) {
    if (m_recording || m_started.isEmpty() || ms <= 0 || m_device->fileName() != m_started)
        return;
    showLength(ms);
    changed();
}

void PlayerCore::deviceFailed(const QString& fileName) {
    // Only the song this player started; a recording has its own messages.
    if (m_recording || m_started.isEmpty() || fileName != m_started)
        return;
    m_started.clear();
    if (m_starter == Starter::Continuous && m_notify && m_continuous && !m_list.isLastSelected() &&
        m_list.hasSelection()) {
        playOnFromSelection();
        return;
    }
    m_notify = false;
    showStopped();
    m_display.lengthText.clear();
    m_display.positionText.clear();
    m_display.trackPosition = 0;
    changed();
    if (m_starter == Starter::Operator)
        msg::error(tr("您选择的歌曲不能播放，请确认您的机子是否安装了相关驱动。"), tr("出错"));
}

void PlayerCore::showPlaying() {
    m_display.playShown = false;
    m_display.pauseEnabled = true;
    m_display.stopEnabled = true;
    m_display.status = playingText();
}

void PlayerCore::showStopped() {
    m_display.playShown = true;
    m_display.pauseEnabled = false;
    m_display.stopEnabled = false;
    m_display.status = stoppedText();
}

void PlayerCore::play() {
    if (m_recording)
        return;
    if (m_device && m_device->mode() == MediaDevice::Mode::Paused) {
        // Resumes the paused song, whatever is selected now.
        m_device->resume();
        showPlaying();
        changed();
        return;
    }
    if (m_list.isEmpty())
        return;
    if (!m_list.hasSelection())
        setSelected(0);
    if (!songExists(m_list.selected())) {
        msg::notice(tr("您选择的歌曲不存在，请检查歌曲的路径和文件名是否正确。"));
        return;
    }
    m_starter = Starter::Operator;
    if (!startSelected()) {
        m_notify = false;
        if (m_device && m_device->mode() == MediaDevice::Mode::NotOpen) {
            showStopped();
            m_display.lengthText.clear();
            m_display.positionText.clear();
            changed();
        }
        msg::error(tr("您选择的歌曲不能播放，请确认您的机子是否安装了相关驱动。"), tr("出错"));
    }
}

void PlayerCore::playAt(int index) {
    setSelected(index);
    play();
}

void PlayerCore::pause() {
    if (!m_device)
        return;
    if (m_device->mode() == MediaDevice::Mode::Playing)
        m_device->pause();
    else if (m_device->mode() == MediaDevice::Mode::Paused)
        m_device->resume();
    else
        return;
    if (m_device->mode() == MediaDevice::Mode::Paused) {
        m_display.playShown = true;
        m_display.status = tr("暂停播放：");
    } else {
        showPlaying();
    }
    changed();
}

void PlayerCore::stop() {
    m_display.trackPosition = 0;
    m_notify = false;
    m_started.clear();
    if (m_device) {
        m_device->stop();
        m_device->close();
    }
    showStopped();
    setSelected(-1);
    m_display.lengthText.clear();
    m_display.positionText.clear();
    changed();
}

void PlayerCore::addFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    const int first = m_list.count();
    appendSongs(paths);
    setSelected(first);
    play();
}

void PlayerCore::seekTo(qint64 ms) {
    if (!m_device || m_recording || m_device->mode() != MediaDevice::Mode::Playing)
        return;
    if (qAbs(ms - m_device->position()) <= seekThreshold)
        return;
    m_device->seek(ms);
    if (m_device->mode() != MediaDevice::Mode::Playing)
        m_device->play(true);
    m_display.trackPosition = ms;
    m_display.positionText = FormatPlayTime(ms);
    changed();
}

void PlayerCore::setVolume(int level) {
    m_volume = qBound(0, level, 1000);
    SetMCIVolume(m_device, m_volume);
}

void PlayerCore::setContinuous(bool on) {
    m_continuous = on;
    if (on)
        m_repeatOne = false;
    emit optionsChanged();
}

void PlayerCore::setRepeatOne(bool on) {
    m_repeatOne = on;
    if (on)
        m_continuous = false;
    emit optionsChanged();
}

void PlayerCore::songEnded() {
    if (!m_device || m_recording || m_list.isEmpty() || !(m_continuous || m_repeatOne) || !m_notify)
        return;
    // Only a song that has played to its end; a device still reporting
    // "playing" at the very end is taken as ended.
    const MediaDevice::Mode mode = m_device->mode();
    if ((mode == MediaDevice::Mode::Playing || mode == MediaDevice::Mode::Paused) &&
        m_device->length() - m_device->position() > kEndTolerance)
        return;
    if (m_continuous) {
        // The list is played once: after the last song playback stops.
        if (!m_list.isLastSelected() && m_list.hasSelection())
            playOnFromSelection();
        return;
    }
    // Repeat one.
    if (m_device->mode() != MediaDevice::Mode::NotOpen)
        m_device->close();
    m_starter = Starter::Repeat;
    if (!startSelected()) {
        m_notify = false;
        showStopped();
        changed();
    }
}

void PlayerCore::playOnFromSelection() {
    m_starter = Starter::Continuous;
    for (;;) {
        if (!m_list.isLastSelected())
            setSelected(m_list.selected() + 1);
        if (!songExists(m_list.selected()) && !m_list.isLastSelected())
            setSelected(m_list.selected() + 1);
        if (m_device->mode() != MediaDevice::Mode::NotOpen)
            m_device->close();
        if (startSelected())
            return;
        if (m_list.isLastSelected()) {
            m_notify = false;
            showStopped();
            changed();
            return;
        }
    }
}

void PlayerCore::tick() {
    if (m_recording) {
        if (!m_take)
            return;
        m_display.trackPosition = m_take->position();
        m_display.positionText = FormatPlayTime(m_display.trackPosition);
        while (m_display.trackPosition >= m_display.trackMax)
            m_display.trackMax += recordingSpan;
        changed();
        return;
    }
    if (!m_device)
        return;
    switch (m_device->mode()) {
    case MediaDevice::Mode::Playing: {
        const qint64 position = m_device->position();
        // The length may become known (or exact) only after the start.
        const qint64 length = m_device->length();
        if (length > 0 && length != m_display.trackMax) {
            m_display.trackMax = length;
            m_display.lengthText = QStringLiteral("/ ") + FormatPlayTime(length);
        }
        m_display.trackPosition = position;
        m_display.positionText = FormatPlayTime(position);
        changed();
        break;
    }
    case MediaDevice::Mode::Stopped:
        if (m_display.song.isEmpty())
            break;
        m_display.positionText = FormatPlayTime(m_device->position());
        showStopped();
        changed();
        break;
    default:
        break;
    }
}

void PlayerCore::closing(const QString& folderForTake) {
    if (m_take) {
        // Nobody is asked, and the take is not lost.
        m_take->saveAs(autoSaveName(folderForTake, Services::clock().now()));
        m_take = nullptr;
        m_recording = false;
    }
    m_notify = false;
    if (m_device && m_device->mode() != MediaDevice::Mode::NotOpen)
        m_device->close();
}

// --- recording -----------------------------------------------------------------

QString PlayerCore::autoSaveName(const QString& folder, const QDateTime& when) {
    QString dir = folder.trimmed();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::homePath();
    const QString base =
        tr("录音") + QLatin1Char(' ') + when.toString(QStringLiteral("yyyy-MM-dd hh-mm-ss"));
    QString name = QDir(dir).filePath(base + QStringLiteral(".mp3"));
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QDir(dir).filePath(QStringLiteral("%1 (%2).mp3").arg(base).arg(n));
    return name;
}

bool PlayerCore::startRecording() {
    if (m_recording || m_take)
        return false;
    if (m_continuous)
        setContinuous(false);
    // The song stops: the player records now.
    m_notify = false;
    if (m_device && m_device->mode() != MediaDevice::Mode::NotOpen)
        m_device->close();
    // The take outlives this player until it is done, but not the program: a
    // recording still running when the program ends is kept as it stands.
    auto* take = new RecordingTake(QCoreApplication::instance());
    QString error;
    if (!take->start(&error)) {
        delete take;
        recordingRefused(error);
        return false;
    }
    m_take = take;
    m_recording = true;
    connect(take, &RecordingTake::startFailed, this, [this, take](const QString& why) {
        if (m_take != take)
            return;
        m_take = nullptr;
        recordingRefused(why);
    });
    // Only once the input's sound reaches the file is the operator told that
    // the take records: what is said from then on is in it.
    connect(take, &RecordingTake::soundArrived, this, [this, take] {
        if (m_take != take || !m_recording)
            return;
        m_display.song = tr("正在录音中......");
        changed();
    });
    connect(take, &RecordingTake::inputFailed, this, [this](const QString& why) {
        if (m_recording)
            m_display.song = tr("录音输入中断：%1").arg(why);
        changed();
    });
    m_display.trackMax = recordingSpan;
    m_display.trackPosition = 0;
    m_display.positionText = FormatPlayTime(0);
    m_display.recordShown = false;
    m_display.playShown = true;
    m_display.playEnabled = false;
    m_display.pauseEnabled = false;
    m_display.stopEnabled = false;
    m_display.openEnabled = false;
    m_display.status.clear();
    m_display.lengthText.clear();
    m_display.song = take->hasSound() ? tr("正在录音中......") : tr("正在打开录音输入......");
    changed();
    return true;
}

void PlayerCore::recordingRefused(const QString& why) {
    qWarning("vorn: recording cannot start: %s", qUtf8Printable(why));
    m_recording = false;
    m_display.recordShown = true;
    m_display.playShown = true;
    m_display.playEnabled = true;
    m_display.pauseEnabled = false;
    m_display.stopEnabled = false;
    m_display.openEnabled = true;
    m_display.song.clear();
    changed();
    msg::error(tr("媒体设备初始化失败！"));
}

void PlayerCore::stopRecording() {
    if (!m_recording)
        return;
    m_recording = false;
    if (m_take)
        m_take->stop();
    m_display.song.clear();
    changed();
}

void PlayerCore::saveRecording(const QString& mp3File) {
    RecordingTake* take = m_take;
    m_take = nullptr;
    m_recording = false;
    m_display.recordShown = true;
    m_display.playEnabled = true;
    m_display.openEnabled = true;
    if (!take) {
        changed();
        return;
    }
    if (mp3File.isEmpty()) {
        take->discard();
        m_display.song.clear();
        changed();
        return;
    }
    m_saving << take;
    m_display.song = tr("正在保存录音，请稍等......");
    connect(take, &RecordingTake::converting, this, [this] {
        if (!m_recording) {
            m_display.song = tr("正在保存为MP3格式，请稍等......");
            changed();
        }
    });
    connect(take, &RecordingTake::finished, this, &PlayerCore::takeFinished);
    setAnimation();
    changed();
    take->saveAs(mp3File);
}

void PlayerCore::takeFinished(bool ok, const QString& mp3File) {
    m_saving.removeAll(qobject_cast<RecordingTake*>(sender()));
    setAnimation();
    if (ok) {
        if (!m_recording)
            m_display.song = tr("保存录音完毕!");
        appendSongs({mp3File});
    } else if (!m_recording) {
        m_display.song.clear();
    }
    changed();
}

void PlayerCore::setAnimation() {
    m_saving.removeAll(nullptr);
    m_display.animationOn = !m_saving.isEmpty();
}
