#include "player/RecordingTake.h"

#include "base/MessageService.h"
#include "base/Services.h"
#include "platform/SoundRecorder.h"
#include "player/WavFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>
#include <QTimer>
#include <algorithm>

namespace {
// Every take alive, wherever it hangs.
QSet<RecordingTake*>& liveTakes() {
    static QSet<RecordingTake*> takes;
    return takes;
}
} // namespace

RecordingTake::RecordingTake(QObject* parent) : QObject(parent) {
    liveTakes().insert(this);
}

RecordingTake::~RecordingTake() {
    liveTakes().remove(this);
    // A take ended with the program: a recording in progress is kept as it
    // stands, a finished one was converted already.
    if (m_stage == Stage::Recording || m_stage == Stage::Stopping) {
        m_recorder.reset(); // lets go of the file
        WavFile::finalise(m_wavFile);
    }
}

bool RecordingTake::start(QString* error) {
    if (m_stage != Stage::New) {
        *error = tr("这次录音已经开始过了");
        return false;
    }
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("vornTemp-XXXXXX.wav")));
    file.setAutoRemove(false);
    if (!file.open()) {
        *error = file.errorString();
        return false;
    }
    m_wavFile = file.fileName();
    const bool written =
        WavFile::writeHeader(file, SoundRecorder::channels, SoundRecorder::bitsPerSample,
                             SoundRecorder::sampleRate) &&
        file.flush();
    file.close();
    if (!written) {
        *error = file.errorString();
        removeWav();
        return false;
    }
    try {
        m_recorder = Services::createSoundRecorder(this);
    } catch (const std::exception& e) {
        *error = QString::fromUtf8(e.what());
        removeWav();
        return false;
    }
    connect(m_recorder.get(), &SoundRecorder::stopped, this, &RecordingTake::recorderStopped);
    connect(m_recorder.get(), &SoundRecorder::soundArrived, this, &RecordingTake::soundArrived);
    if (!m_recorder->start(m_wavFile)) {
        *error = m_recorder->errorString();
        m_recorder.reset();
        removeWav();
        return false;
    }
    m_stage = Stage::Recording;
    return true;
}

void RecordingTake::end() {
    m_ended = true;
    deleteLater();
}

bool RecordingTake::isFinishing() const {
    if (m_ended)
        return false;
    switch (m_stage) {
    case Stage::Stopping:
    case Stage::Converting:
    case Stage::Discarded:
        return true;
    case Stage::Stopped:
        return !m_target.isEmpty();
    default:
        return false; // still recording with nowhere to go, or over
    }
}

bool RecordingTake::finishAll(int limitMs) {
    const auto finishing = [] {
        const QSet<RecordingTake*>& takes = liveTakes();
        return std::any_of(takes.begin(), takes.end(),
                           [](const RecordingTake* take) { return take->isFinishing(); });
    };
    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!finishing() || waited.elapsed() >= limitMs)
            loop.quit();
    });
    if (finishing()) {
        poll.start();
        loop.exec();
    }
    return !finishing();
}

qint64 RecordingTake::position() const {
    return m_recorder ? m_recorder->position() : 0;
}

bool RecordingTake::hasSound() const {
    return m_recorder && m_recorder->started();
}

void RecordingTake::stop() {
    if (m_stage != Stage::Recording)
        return;
    m_stage = Stage::Stopping;
    m_recorder->stop();
}

void RecordingTake::recorderStopped(bool ok) {
    if (!ok && !m_recorder->started() &&
        (m_stage == Stage::Recording || m_stage == Stage::Stopping)) {
        m_stage = Stage::Failed;
        removeWav();
        emit startFailed(m_recorder->errorString());
        end();
        return;
    }
    if (!ok && m_stage == Stage::Recording)
        emit inputFailed(m_recorder->errorString());
    m_finalised = WavFile::finalise(m_wavFile);
    if (m_stage == Stage::Discarded) {
        removeWav();
        end();
        return;
    }
    if (m_stage == Stage::Recording || m_stage == Stage::Stopping)
        m_stage = Stage::Stopped;
    if (!m_target.isEmpty() && m_stage == Stage::Stopped)
        convert();
}

void RecordingTake::saveAs(const QString& mp3File) {
    if (m_stage == Stage::New || m_stage == Stage::Converting || m_stage == Stage::Done ||
        m_stage == Stage::Failed || m_stage == Stage::Discarded)
        return;
    m_target = QFileInfo(mp3File).absoluteFilePath();
    if (m_stage == Stage::Recording)
        stop();
    else if (m_stage == Stage::Stopped)
        convert();
}

void RecordingTake::discard() {
    const Stage was = m_stage;
    m_stage = Stage::Discarded;
    if (was == Stage::Recording) {
        m_recorder->stop(); // the file goes when the recorder has let it go
        return;
    }
    if (was == Stage::Stopping)
        return;
    removeWav();
    end();
}

void RecordingTake::convert() {
    if (!m_finalised) {
        fail(tr("录音文件无法完成：%1").arg(m_wavFile));
        return;
    }
    m_stage = Stage::Converting;
    try {
        m_encoder = Services::createMp3Encoder(this);
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()));
        return;
    }
    connect(m_encoder.get(), &Mp3Encoder::finished, this, &RecordingTake::conversionDone);
    emit converting();
    m_encoder->start(m_wavFile, m_target);
}

void RecordingTake::conversionDone(bool ok, const QString& error) {
    if (m_stage != Stage::Converting)
        return;
    // The encoder's word, and a file to show for it.
    if (!ok || QFileInfo(m_target).size() <= 0) {
        fail(ok ? tr("没有写出 MP3 文件：%1").arg(m_target) : error);
        return;
    }
    m_stage = Stage::Done;
    removeWav();
    emit finished(true, m_target);
    end();
}

void RecordingTake::fail(const QString& why) {
    m_stage = Stage::Failed;
    // The take stays in its temporary file, so nothing is lost.
    qWarning("vorn: recording not saved (%s); the take is kept in %s", qUtf8Printable(why),
             qUtf8Printable(m_wavFile));
    emit finished(false, m_target);
    end();
    msg::error(tr("保存声音文件出错!"));
}

void RecordingTake::removeWav() {
    if (!m_wavFile.isEmpty())
        QFile::remove(m_wavFile);
}
