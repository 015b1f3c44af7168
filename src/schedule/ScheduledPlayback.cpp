#include "schedule/ScheduledPlayback.h"

#include "base/MessageService.h"
#include "base/PlayText.h"
#include "data/datamodule.h"
#include "editing/PlaylistFile.h"
#include "platform/MediaDevice.h"
#include "schedule/ScheduleClock.h"
#include "settings/funVolume.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <limits>

namespace {
const QString kInOrder = QStringLiteral("顺序播放");
const QString kRandom = QStringLiteral("随机播放");
const QString kSingle = QStringLiteral("单曲播放");
const QString kRandomSingle = QStringLiteral("随机单曲");
// How close to its end a song still reported as playing counts as ended (ms).
constexpr qint64 kEndTolerance = 1000;

int toTrack(qint64 ms) {
    return int(qBound(qint64(0), ms, qint64(std::numeric_limits<int>::max())));
}
} // namespace

ScheduledPlayback::ScheduledPlayback(TDataModule1& dm, const ScheduleClock& schedule,
                                     QObject* parent)
    : QObject(parent), m_dm(dm), m_schedule(schedule),
      m_random([](int n) { return int(QRandomGenerator::global()->bounded(n)); }) {}

ScheduledPlayback::~ScheduledPlayback() = default;

void ScheduledPlayback::setDevice(MediaDevice* device) {
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = device;
    if (m_device)
        connect(m_device, &MediaDevice::finished, this, &ScheduledPlayback::MediaPlayer2Notify);
}

void ScheduledPlayback::setRandomSource(RandomSource random) {
    if (random)
        m_random = std::move(random);
}

void ScheduledPlayback::setLists(const QStringList& paths) {
    m_paths = paths;
    m_names.clear();
    for (const QString& p : paths)
        m_names << SongDisplayName(p);
    m_current = -1;
    emit listsChanged();
    emit currentIndexChanged(-1);
}

void ScheduledPlayback::setCurrent(int index) {
    if (index == m_current)
        return;
    m_current = index;
    emit currentIndexChanged(index);
}

bool ScheduledPlayback::songExists(int index) const {
    if (index < 0 || index >= m_paths.size())
        return false;
    const QString& path = m_paths.at(index);
    return !path.isEmpty() && QFileInfo(path).isFile();
}

int ScheduledPlayback::draw(int n) {
    const int pos = m_random(n);
    return qBound(0, pos, n - 1);
}

void ScheduledPlayback::LoadEntryPlaylist(const QString& path) {
    setLists({});
    QStringList entries;
    try {
        entries = ReadPlaylistFile(path);
    } catch (const PlaylistError& e) {
        emit failed(path, QString::fromUtf8(e.what()));
        throw PlaybackError(e.what());
    }
    setLists(entries);
}

bool ScheduledPlayback::PlayEntry(const QString& t) {
    // Today's entries as read at the last reload: the tick never waits on
    // the database. The first by ID wins when two entries share a start.
    const TodayEntry* entry = m_schedule.entryAt(t);
    if (!entry)
        return false;
    const QString song = entry->song;
    const QString mode = entry->mode;
    emit entryStarting(t);

    if (song.toUpper().endsWith(QLatin1String(".PL3")))
        LoadEntryPlaylist(song);
    else
        setLists({song});
    m_playMode = mode;

    const int n = int(m_paths.size());
    if (n == 0) {
        emit failed(song, tr("歌曲列表为空"));
        throw PlaybackError("the song list of the entry is empty");
    }

    int pos = 0;
    bool notify = true;
    if (mode == kInOrder) {
        while (!songExists(pos) && pos < n - 1)
            ++pos;
    } else if (mode == kSingle) {
        // The first song of the list plays once, however many the list holds.
        notify = false;
        if (!songExists(0)) {
            setCurrent(0);
            emit failed(m_paths.value(0), tr("歌曲文件不存在"));
            msg::error(tr("歌曲文件不存在!"), tr("提示"));
            return false;
        }
    } else {
        notify = mode != kRandomSingle;
        pos = draw(n);
        int draws = 1;
        while (!songExists(pos) && draws < 2 * n) {
            pos = draw(n);
            ++draws;
        }
    }
    setCurrent(pos);
    try {
        openSong(pos, notify, true);
    } catch (const PlaybackError& e) {
        emit failed(m_paths.value(pos), QString::fromUtf8(e.what()));
        throw;
    }

    emit entryStarted(t);
    return true;
}

void ScheduledPlayback::openSong(int index, bool notify, bool setFadeInVolume) {
    if (!m_device)
        throw PlaybackError("no media device");
    const QString path = m_paths.value(index);
    if (!m_device->open(path))
        throw PlaybackError(m_device->errorString().toStdString());
    m_device->setNotifyEnabled(notify);
    if (setFadeInVolume)
        SetMCIVolume(m_device, m_fadeinLevel);
    if (!m_device->play(notify)) {
        const QString error = m_device->errorString();
        m_device->close();
        throw PlaybackError(error.isEmpty() ? "the song cannot be played" : error.toStdString());
    }
    showSongStarted();
}

bool ScheduledPlayback::tryOpenSong(int index, bool notify) {
    try {
        openSong(index, notify, false);
        return true;
    } catch (const std::exception& e) {
        emit failed(m_paths.value(index), QString::fromUtf8(e.what()));
        return false;
    }
}

void ScheduledPlayback::showSongStarted() {
    const qint64 length = m_device->length();
    m_display.nowPlaying = tr("正在播放：") + m_device->fileName();
    m_display.lengthText = QStringLiteral("/ ") + FormatPlayTime(length);
    m_display.trackMax = toTrack(length);
    m_display.controlsVisible = true;
    emit displayChanged();
}

void ScheduledPlayback::MediaPlayer2Notify() {
    if (!m_device || !m_device->notifyEnabled() || m_paths.isEmpty())
        return;
    // Only a song that has played to its end. A late notice of a song that
    // was replaced meanwhile finds the new one playing far from its end; a
    // device still reporting "playing" at the very end is taken as ended.
    const MediaDevice::Mode mode = m_device->mode();
    if ((mode == MediaDevice::Mode::Playing || mode == MediaDevice::Mode::Paused) &&
        m_device->length() - m_device->position() > kEndTolerance)
        return;
    if (m_playMode == kRandom)
        nextRandomSong();
    else if (m_playMode == kInOrder)
        nextSequentialSong();
}

void ScheduledPlayback::nextRandomSong() {
    // At most 2n draws; when none of them gives a song that plays, the
    // playback stays stopped until the next time of the timetable.
    const int n = int(m_paths.size());
    int draws = 0;
    while (draws < 2 * n) {
        int pos = draw(n);
        ++draws;
        if (!songExists(pos) && draws < 2 * n) {
            pos = draw(n);
            ++draws;
        }
        setCurrent(pos);
        if (tryOpenSong(pos, true)) {
            emit songChanged(m_paths.value(pos));
            return;
        }
    }
    clearTexts();
}

void ScheduledPlayback::nextSequentialSong() {
    // One full pass over the list at most; after the last song the first.
    const int n = int(m_paths.size());
    int pos = m_current;
    int stepped = 0;
    while (stepped < n) {
        pos = (pos < 0 || pos >= n - 1) ? 0 : pos + 1;
        ++stepped;
        if (!songExists(pos) && pos < n - 1) {
            ++pos;
            ++stepped;
        }
        setCurrent(pos);
        closeDevice();
        if (tryOpenSong(pos, true)) {
            emit songChanged(m_paths.value(pos));
            return;
        }
    }
    clearTexts();
}

void ScheduledPlayback::processTick() {
    if (m_device) {
        const MediaDevice::Mode mode = m_device->mode();
        if (mode == MediaDevice::Mode::Playing) {
            const qint64 position = m_device->position();
            m_display.trackPosition = toTrack(position);
            m_display.positionText = FormatPlayTime(position);
            emit displayChanged();
        } else if ((mode == MediaDevice::Mode::Stopped || mode == MediaDevice::Mode::NotOpen) &&
                   !m_display.nowPlaying.isEmpty()) {
            m_display.nowPlaying.clear();
            m_display.positionText = FormatPlayTime(m_device->position());
            emit displayChanged();
        }
    }

    if (m_fadeoutOn) {
        m_fadeoutLevel = qMax(0, m_fadeoutLevel - 400);
        SetMCIVolume(m_device, m_fadeoutLevel);
        if (m_fadeoutLevel == 0) {
            m_fadeoutOn = false;
            StopEntryPlayback();
        }
    }
    if (m_fadeinOn) {
        m_fadeinLevel = qMin(1000, m_fadeinLevel + 200);
        if (m_device)
            SetMCIVolume(m_device, m_fadeinLevel);
        if (m_fadeinLevel == 1000)
            m_fadeinOn = false;
    }
}

void ScheduledPlayback::startFadeOut() {
    m_fadeoutLevel = 1000;
    m_fadeoutOn = true;
}

void ScheduledPlayback::closeDevice() {
    if (!m_device)
        return;
    m_device->setNotifyEnabled(false);
    if (m_device->mode() == MediaDevice::Mode::Playing)
        m_device->stop();
    if (m_device->mode() != MediaDevice::Mode::NotOpen)
        m_device->close();
}

void ScheduledPlayback::clearTexts() {
    m_display.nowPlaying.clear();
    m_display.lengthText.clear();
    m_display.positionText.clear();
    emit displayChanged();
}

void ScheduledPlayback::StopEntryPlayback() {
    const bool running = !m_paths.isEmpty();
    closeDevice();
    m_fadeinOn = false;
    setLists({});
    m_display = Display{};
    emit displayChanged();
    if (running)
        emit entryEnded();
}

void ScheduledPlayback::SpeedButton1Click() {
    const bool playing = m_device && m_device->mode() == MediaDevice::Mode::Playing;
    const QString path = playing ? m_device->fileName() : QString();
    closeDevice();
    m_display.nowPlaying.clear();
    m_display.lengthText.clear();
    m_display.positionText.clear();
    m_display.trackPosition = 0;
    emit displayChanged();
    setCurrent(-1);
    if (playing)
        emit stoppedByHand(path);
}

void ScheduledPlayback::ListBox5DblClick(int index) {
    if (index < 0 || index >= m_paths.size())
        return;
    setCurrent(index);
    closeDevice();
    if (tryOpenSong(index, true))
        emit pickedByHand(m_paths.value(index));
}
