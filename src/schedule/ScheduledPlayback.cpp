#include "schedule/ScheduledPlayback.h"

#include "base/MessageService.h"
#include "base/PlayText.h"
#include "data/datamodule.h"
#include "editing/PlaylistFile.h"
#include "schedule/ScheduleClock.h"
#include "settings/funVolume.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>
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

bool isList(const QString& path) {
    return path.toUpper().endsWith(QLatin1String(".PL3"));
}

bool fileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
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
    if (!m_device)
        return;
    connect(m_device, &MediaDevice::finished, this, &ScheduledPlayback::MediaPlayer2Notify);
    connect(m_device, &MediaDevice::failed, this, &ScheduledPlayback::onDeviceFailed);
    connect(m_device, &MediaDevice::nextStarted, this, &ScheduledPlayback::onNextStarted);
    connect(m_device, &MediaDevice::nextFailed, this, &ScheduledPlayback::onNextFailed);
    connect(m_device, &MediaDevice::lengthChanged, this, &ScheduledPlayback::onLengthChanged);
}

void ScheduledPlayback::setRandomSource(RandomSource random) {
    if (random)
        m_random = std::move(random);
}

bool ScheduledPlayback::continuing(const QString& mode) {
    return mode == kInOrder || mode == kRandom;
}

void ScheduledPlayback::setLists(const QStringList& paths) {
    m_reportedFailures.clear();
    m_paths = paths;
    m_names.clear();
    m_names.reserve(paths.size());
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
    return index >= 0 && index < m_paths.size() && fileExists(m_paths.at(index));
}

int ScheduledPlayback::draw(int n) const {
    const int pos = m_random(n);
    return qBound(0, pos, n - 1);
}

void ScheduledPlayback::LoadEntryPlaylist(const QString& path) {
    setLists({});
    QStringList entries;
    try {
        entries = ReadPlaylistFile(path);
    } catch (const PlaylistError& e) {
        emit failed(path, tr("歌曲列表无法读取"));
        throw PlaybackError(
            tr("歌曲列表无法读取：%1（%2）").arg(path, QString::fromUtf8(e.what())).toStdString());
    }
    setLists(entries);
}

// --- preparing and starting an entry -----------------------------------------

int ScheduledPlayback::firstSong(const QStringList& paths, const QString& mode) const {
    const int n = int(paths.size());
    if (mode == kInOrder) {
        // The first song from the top whose file exists; the last when none does.
        int pos = 0;
        while (!fileExists(paths.at(pos)) && pos < n - 1)
            ++pos;
        return pos;
    }
    if (mode == kSingle)
        return 0;
    // At most 2n draws for a song whose file exists.
    int pos = draw(n);
    for (int draws = 1; !fileExists(paths.at(pos)) && draws < 2 * n; ++draws)
        pos = draw(n);
    return pos;
}

ScheduledPlayback::Prepared ScheduledPlayback::readEntry(const TodayEntry& entry,
                                                         const QString& t) const {
    Prepared p;
    p.time = t;
    p.id = entry.id;
    p.song = entry.song;
    p.mode = entry.mode;
    if (isList(entry.song)) {
        const QFileInfo info(entry.song);
        p.listModified = info.lastModified();
        p.listSize = info.size();
        try {
            p.paths = ReadPlaylistFile(entry.song);
        } catch (const PlaylistError& e) {
            p.failedFile = entry.song;
            p.failedWhat = tr("歌曲列表无法读取");
            p.failedReason =
                tr("歌曲列表无法读取：%1（%2）").arg(entry.song, QString::fromUtf8(e.what()));
            return p;
        }
    } else {
        p.paths = QStringList{entry.song};
    }
    if (p.paths.isEmpty()) {
        p.failedFile = entry.song;
        p.failedWhat = tr("歌曲列表为空");
        p.failedReason = tr("歌曲列表为空：%1").arg(entry.song);
        return p;
    }
    p.notify = entry.mode != kSingle && entry.mode != kRandomSingle;
    p.index = firstSong(p.paths, entry.mode);
    if (entry.mode == kSingle && !fileExists(p.paths.at(0))) {
        // The first song of the list plays once, however many the list holds.
        p.missingSingle = true;
        p.failedFile = p.paths.at(0);
        p.failedWhat = mediaFailureReason(MediaDevice::Failure::Missing);
        p.failedReason = mediaFailureText(MediaDevice::Failure::Missing, p.failedFile);
    }
    return p;
}

bool ScheduledPlayback::stillValid(const Prepared& p, const TodayEntry& entry) const {
    if (p.id != entry.id || p.song != entry.song || p.mode != entry.mode)
        return false;
    if (!isList(entry.song))
        return true;
    const QFileInfo info(entry.song);
    return info.lastModified() == p.listModified && info.size() == p.listSize;
}

void ScheduledPlayback::prepareEntry(const QString& t) {
    const TodayEntry* entry = m_schedule.entryAt(t);
    if (!entry) {
        m_prepared.reset();
        return;
    }
    if (m_prepared && m_prepared->time == t && stillValid(*m_prepared, *entry))
        return;
    m_prepared = readEntry(*entry, t);
    Prepared& p = *m_prepared;
    if (!m_device || !p.failedReason.isEmpty() || p.index < 0)
        return;
    const QString first = p.paths.at(p.index);
    if (fileExists(first) && m_device->cue(first, firstFadeInLevel))
        p.cued = first;
}

bool ScheduledPlayback::PlayEntry(const QString& t) {
    // Today's entries as read at the last reload: the tick never waits on
    // the database. The first by ID wins when two entries share a start.
    const TodayEntry* entry = m_schedule.entryAt(t);
    if (!entry) {
        m_prepared.reset();
        return false;
    }
    emit entryStarting(t);
    // What was read ahead, unless the entry or its list changed since.
    Prepared p = m_prepared && m_prepared->time == t && stillValid(*m_prepared, *entry)
                     ? *m_prepared
                     : readEntry(*entry, t);
    m_prepared.reset();

    cancelSearch();
    setLists(p.paths);
    m_playMode = p.mode;
    if (!p.failedReason.isEmpty() && !p.missingSingle) {
        emit failed(p.failedFile, p.failedWhat);
        throw PlaybackError(p.failedReason.toStdString());
    }
    if (p.missingSingle) {
        setCurrent(0);
        emit failed(p.failedFile, p.failedWhat);
        msg::error(tr("歌曲文件不存在!"), tr("提示"));
        return false;
    }
    if (!m_device)
        throw PlaybackError(tr("没有可用的播放设备").toStdString());

    setCurrent(p.index);
    const QString first = m_paths.value(p.index);
    bool started = false;
    if (!p.cued.isEmpty() && p.cued == first && m_device->cuedFile() == first)
        started = m_device->playCued(p.notify);
    if (!started)
        started = startSong(p.index, p.notify, m_fadeinLevel);
    if (!started) {
        const MediaDevice::Failure why =
            fileExists(first) ? m_device->failure() : MediaDevice::Failure::Missing;
        emit failed(first, mediaFailureReason(why));
        if (!continuing(p.mode))
            throw PlaybackError(mediaFailureText(why, first).toStdString());
        // A continuing list goes on with its next playable song.
        m_device->setNotifyEnabled(true);
        startSearch(false);
        emit entryStarted(t);
        return true;
    }
    showSongStarted();
    emit entryStarted(t);
    if (continuing(m_playMode))
        startSearch(true);
    return true;
}

bool ScheduledPlayback::startSong(int index, bool notify, int volume) {
    const QString path = m_paths.value(index);
    if (!m_device || !fileExists(path))
        return false;
    return m_device->cue(path, volume) && m_device->playCued(notify);
}

void ScheduledPlayback::showSongStarted() {
    const qint64 length = m_device->length();
    m_display.nowPlaying = tr("正在播放：") + m_paths.value(m_current, m_device->fileName());
    m_display.lengthText = QStringLiteral("/ ") + FormatPlayTime(length);
    m_display.trackMax = toTrack(length);
    m_display.trackPosition = 0;
    m_display.positionText = FormatPlayTime(0);
    m_display.controlsVisible = true;
    emit displayChanged();
}

void ScheduledPlayback::onLengthChanged(qint64 ms) {
    if (m_display.nowPlaying.isEmpty())
        return;
    m_display.lengthText = QStringLiteral("/ ") + FormatPlayTime(ms);
    m_display.trackMax = toTrack(ms);
    emit displayChanged();
}

// --- going from song to song -------------------------------------------------

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
    if (!continuing(m_playMode))
        return;
    // The song ended before a next one was ready (or the one handed over
    // could not be played after all): a new search opens the song it finds
    // and plays it.
    m_device->setNext(QString());
    startSearch(false);
}

void ScheduledPlayback::startSearch(bool gapless) {
    if (!m_device || m_paths.isEmpty())
        return;
    m_search.active = true;
    m_search.gapless = gapless;
    m_search.position = m_current;
    m_search.looked = 0;
    m_search.waitingFor = -1;
    ++m_search.token;
    continueSearch();
}

void ScheduledPlayback::cancelSearch() {
    m_search.active = false;
    m_search.waitingFor = -1;
    ++m_search.token;
    m_nextIndex = -1;
}

void ScheduledPlayback::continueSearch() {
    const int n = int(m_paths.size());
    const bool random = m_playMode == kRandom;
    // In order: one full pass over the list at most, after the last song the
    // first. Random: at most 2n draws. Either way the playback then stays
    // stopped until the next time of the timetable.
    const int limit = random ? 2 * n : n;
    auto passOver = [this](const QString& path, MediaDevice::Failure why) {
        // Told once per entry, not at every pass of the search.
        if (!m_reportedFailures.contains(path)) {
            m_reportedFailures.insert(path);
            emit failed(path, mediaFailureReason(why));
        }
    };
    for (int budget = searchBudget; m_search.active && budget > 0; --budget) {
        if (m_search.looked >= limit || !m_device) {
            m_search.active = false;
            if (!m_search.gapless)
                clearTexts();
            return;
        }
        int pos = 0;
        if (random) {
            pos = draw(n);
            ++m_search.looked;
            if (!songExists(pos) && m_search.looked < limit) {
                pos = draw(n); // the second draw is not tested
                ++m_search.looked;
            }
        } else {
            const int at = m_search.position;
            pos = (at < 0 || at >= n - 1) ? 0 : at + 1;
            ++m_search.looked;
        }
        m_search.position = pos;
        const QString path = m_paths.at(pos);
        if (!songExists(pos)) {
            if (!m_search.gapless)
                setCurrent(pos);
            continue;
        }
        if (m_search.gapless) {
            if (m_device->setNext(path)) {
                m_search.waitingFor = pos;
                m_nextIndex = pos;
                return; // the device tells whether it can play it
            }
            passOver(path, m_device->failure());
            continue;
        }
        setCurrent(pos);
        if (startSong(pos, true, m_device->volume())) {
            m_search.active = false;
            showSongStarted();
            emit songChanged(path);
            if (continuing(m_playMode))
                startSearch(true);
            return;
        }
        passOver(path, m_device->failure());
    }
    if (!m_search.active)
        return;
    // Enough for this turn: the rest after the events waiting now (the
    // clock's tick among them).
    const int token = m_search.token;
    QTimer::singleShot(0, this, [this, token] {
        if (m_search.active && m_search.token == token && m_search.waitingFor < 0)
            continueSearch();
    });
}

void ScheduledPlayback::onNextFailed(const QString& path, MediaDevice::Failure why,
                                     const QString& text) {
    Q_UNUSED(text);
    if (!m_search.active || m_search.waitingFor < 0 || m_paths.value(m_search.waitingFor) != path)
        return;
    m_search.waitingFor = -1;
    m_nextIndex = -1;
    if (!m_reportedFailures.contains(path)) {
        m_reportedFailures.insert(path);
        emit failed(path, mediaFailureReason(why));
    }
    continueSearch();
}

void ScheduledPlayback::onNextStarted(const QString& path) {
    const int index = m_nextIndex >= 0 && m_paths.value(m_nextIndex) == path
                          ? m_nextIndex
                          : int(m_paths.indexOf(path));
    m_search.active = false;
    m_search.waitingFor = -1;
    m_nextIndex = -1;
    if (index < 0)
        return;
    setCurrent(index);
    showSongStarted();
    emit songChanged(path);
    startSearch(true);
}

void ScheduledPlayback::onDeviceFailed(const QString& path, MediaDevice::Failure why,
                                       const QString& text) {
    songFailed(path, why, text);
}

void ScheduledPlayback::songFailed(const QString& path, MediaDevice::Failure why,
                                   const QString& text) {
    Q_UNUSED(text);
    if (m_prepared && m_prepared->cued == path) {
        // The song cued for an entry to come: its start picks again.
        m_prepared->cued.clear();
        return;
    }
    if (m_current < 0 || m_paths.value(m_current) != path)
        return;
    emit failed(path, mediaFailureReason(why));
    clearTexts();
    // In a continuing list the next playable song follows.
    if (continuing(m_playMode)) {
        m_device->setNext(QString());
        m_device->setNotifyEnabled(true);
        startSearch(false);
    }
}

// --- the seconds ---------------------------------------------------------------

void ScheduledPlayback::processTick() {
    if (!m_device)
        return;
    const MediaDevice::Mode mode = m_device->mode();
    if (mode == MediaDevice::Mode::Playing) {
        const qint64 position = m_device->position();
        m_display.trackPosition = toTrack(position);
        m_display.positionText = FormatPlayTime(position);
        emit displayChanged();
    } else if ((mode == MediaDevice::Mode::Stopped || mode == MediaDevice::Mode::NotOpen) &&
               !m_display.nowPlaying.isEmpty() && !m_search.active) {
        m_display.nowPlaying.clear();
        m_display.positionText = FormatPlayTime(m_device->position());
        emit displayChanged();
    }
}

void ScheduledPlayback::stepFades() {
    if (m_fadeoutOn) {
        m_fadeoutLevel = qMax(0, m_fadeoutLevel - fadeOutStep);
        SetMCIVolume(m_device, m_fadeoutLevel);
        if (m_fadeoutLevel == 0) {
            m_fadeoutOn = false;
            StopEntryPlayback();
        }
    }
    if (m_fadeinOn) {
        m_fadeinLevel = qMin(1000, m_fadeinLevel + fadeInStep);
        SetMCIVolume(m_device, m_fadeinLevel);
        if (m_fadeinLevel == 1000)
            m_fadeinOn = false;
    }
}

void ScheduledPlayback::startFadeOut() {
    m_fadeoutLevel = 1000 - fadeOutStep;
    m_fadeoutOn = true;
    SetMCIVolume(m_device, m_fadeoutLevel);
}

// --- by hand and at the end ----------------------------------------------------

void ScheduledPlayback::closeDevice() {
    cancelSearch();
    if (!m_device)
        return;
    m_device->setNotifyEnabled(false);
    m_device->setNext(QString());
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
    // A song started by hand plays at full volume, whatever fade was left
    // running; the next end time still fades it out.
    m_fadeinOn = false;
    const QString path = m_paths.value(index);
    if (!startSong(index, true, 1000)) {
        if (m_device)
            emit failed(path, mediaFailureReason(fileExists(path) ? m_device->failure()
                                                                  : MediaDevice::Failure::Missing));
        return;
    }
    showSongStarted();
    emit pickedByHand(path);
    if (continuing(m_playMode))
        startSearch(true);
}
