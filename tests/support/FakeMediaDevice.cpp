#include "FakeMediaDevice.h"

#include "base/Services.h"

#include <QFileInfo>

bool FakeMediaDevice::playable(const QString& fileName) {
    if (requireExistingFile && !QFileInfo(fileName).isFile()) {
        m_failure = Failure::Missing;
        m_error = QStringLiteral("file not found: ") + fileName;
        return false;
    }
    if (unplayable.contains(fileName)) {
        m_failure = Failure::Undecodable;
        m_error = QStringLiteral("cannot decode: ") + fileName;
        return false;
    }
    m_failure = Failure::None;
    m_error.clear();
    return true;
}

bool FakeMediaDevice::open(const QString& fileName) {
    calls << QStringLiteral("open:") + fileName;
    if (m_mode != Mode::NotOpen)
        close();
    m_cued.clear();
    if (!playable(fileName))
        return false;
    m_file = fileName;
    m_mode = Mode::Stopped;
    m_position = 0;
    m_length = lengths.value(fileName, 180000);
    return true;
}

bool FakeMediaDevice::cue(const QString& fileName, int volume) {
    calls << QStringLiteral("cue:") + fileName;
    m_cued.clear();
    if (!playable(fileName))
        return false;
    m_cued = fileName;
    m_cuedVolume = volume;
    return true;
}

bool FakeMediaDevice::playCued(bool notify) {
    calls << QStringLiteral("playCued:%1").arg(notify ? 1 : 0);
    const QString file = m_cued;
    m_cued.clear();
    if (file.isEmpty())
        return false;
    m_next.clear();
    m_file = file;
    m_mode = Mode::Stopped;
    m_position = 0;
    m_length = lengths.value(file, 180000);
    m_volume = m_cuedVolume;
    volumes << m_cuedVolume;
    return play(notify);
}

bool FakeMediaDevice::setNext(const QString& fileName) {
    calls << QStringLiteral("next:") + fileName;
    m_next.clear();
    if (fileName.isEmpty())
        return true;
    if (!playable(fileName))
        return false;
    m_next = fileName;
    return true;
}

bool FakeMediaDevice::play(bool notify) {
    calls << QStringLiteral("play:%1").arg(notify ? 1 : 0);
    if (m_mode == Mode::NotOpen)
        return false;
    m_notify = notify;
    m_mode = Mode::Playing;
    played << m_file;
    return true;
}

void FakeMediaDevice::pause() {
    calls << QStringLiteral("pause");
    if (m_mode == Mode::Playing)
        m_mode = Mode::Paused;
}

void FakeMediaDevice::resume() {
    calls << QStringLiteral("resume");
    if (m_mode == Mode::Paused)
        m_mode = Mode::Playing;
}

void FakeMediaDevice::stop() {
    calls << QStringLiteral("stop");
    if (m_mode != Mode::NotOpen)
        m_mode = Mode::Stopped;
}

void FakeMediaDevice::close() {
    calls << QStringLiteral("close");
    m_next.clear();
    m_mode = Mode::NotOpen;
    m_file.clear();
    m_position = 0;
    m_length = 0;
}

void FakeMediaDevice::seek(qint64 ms) {
    calls << QStringLiteral("seek:%1").arg(ms);
    m_position = ms;
}

void FakeMediaDevice::setVolume(int level) {
    calls << QStringLiteral("volume:%1").arg(level);
    m_volume = level;
    volumes << level;
}

void FakeMediaDevice::finishSong() {
    if (m_mode != Mode::Playing)
        return;
    const QString next = m_next;
    m_next.clear();
    if (!next.isEmpty() && playable(next)) {
        m_file = next;
        m_position = 0;
        m_length = lengths.value(next, 180000);
        played << next;
        emit nextStarted(next);
        return;
    }
    m_position = m_length;
    m_mode = Mode::Stopped;
    if (m_notify)
        emit finished();
}

FakeMediaFactory::FakeMediaFactory() {
    Services::setMediaDeviceFactory([this](QObject* parent) -> std::unique_ptr<MediaDevice> {
        auto device = std::make_unique<FakeMediaDevice>(parent);
        made << device.get();
        return device;
    });
}

FakeMediaFactory::~FakeMediaFactory() {
    Services::setMediaDeviceFactory({});
}
