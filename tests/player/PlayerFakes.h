#pragma once

#include "base/Services.h"
#include "platform/RecordingControl.h"
#include "platform/SoundRecorder.h"

#include <QFile>
#include <QList>
#include <QMetaObject>
#include <QPointer>

// A recorder that appends silence to the file when told to, and an encoder
// that writes the MP3 (or fails) when told to; both installed while the
// factory lives. Nothing here touches a sound card or a program.
class FakeSoundRecorder : public SoundRecorder {
    Q_OBJECT
public:
    using SoundRecorder::SoundRecorder;
    bool start(const QString& wavFile) override {
        m_file = wavFile;
        if (files)
            *files << wavFile;
        if (refuse) {
            m_error = QStringLiteral("no input");
            return false;
        }
        m_file = wavFile;
        m_recording = true;
        m_started = !opensLate;
        return true;
    }
    void stop() override {
        if (!m_recording)
            return;
        m_recording = false;
        QMetaObject::invokeMethod(
            this, [this] { emit stopped(true); }, Qt::QueuedConnection);
    }
    bool started() const override { return m_started; }
    bool isRecording() const override { return m_recording; }
    qint64 position() const override { return m_position; }
    QString errorString() const override { return m_error; }

    // The input goes on for ms more without filling the disk.
    void advance(qint64 ms) { m_position += ms; }
    // Appends ms of silence, as the input would.
    void record(qint64 ms) {
        QFile f(m_file);
        if (f.open(QIODevice::Append))
            f.write(QByteArray(int(ms * 88200 / 1000), '\0'));
        m_position += ms;
    }
    // The input that was still opening delivers its first sound.
    void open() {
        m_started = true;
        emit soundArrived();
    }
    // The input that was still opening refuses after all.
    void refuseLate() {
        m_recording = false;
        m_error = QStringLiteral("device busy");
        emit stopped(false);
    }
    void breakInput() {
        m_recording = false;
        m_error = QStringLiteral("unplugged");
        emit stopped(false);
    }

    bool refuse = false;
    bool opensLate = false;       // started() only becomes true when the test says
    QStringList* files = nullptr; // every file started on
    QString m_file;

private:
    bool m_recording = false;
    bool m_started = false;
    qint64 m_position = 0;
    QString m_error;
};

class FakeMp3Encoder : public Mp3Encoder {
    Q_OBJECT
public:
    using Mp3Encoder::Mp3Encoder;
    void start(const QString& wavFile, const QString& mp3File) override {
        wav = wavFile;
        mp3 = mp3File;
        wavAtStart = [&] {
            QFile f(wavFile);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        m_running = true;
    }
    bool isRunning() const override { return m_running; }
    // The conversion ends: ok writes a file, otherwise nothing is written.
    void finish(bool ok, bool writeFile = true) {
        m_running = false;
        if (writeFile) {
            QFile f(mp3);
            if (f.open(QIODevice::WriteOnly))
                f.write(ok ? QByteArray("ID3mp3 data") : QByteArray());
        }
        emit finished(ok, ok ? QString() : QStringLiteral("lame said no"));
    }

    QString wav, mp3;
    QByteArray wavAtStart;

private:
    bool m_running = false;
};

class FakeRecordingFactory {
public:
    FakeRecordingFactory() {
        Services::setSoundRecorderFactory([this](QObject* parent) {
            auto r = std::make_unique<FakeSoundRecorder>(parent);
            r->refuse = refuse;
            r->opensLate = opensLate;
            r->files = &files;
            recorders << r.get();
            return r;
        });
        Services::setMp3EncoderFactory([this](QObject* parent) {
            auto e = std::make_unique<FakeMp3Encoder>(parent);
            encoders << e.get();
            return e;
        });
    }
    ~FakeRecordingFactory() {
        Services::setSoundRecorderFactory({});
        Services::setMp3EncoderFactory({});
    }
    bool refuse = false;
    bool opensLate = false;
    QStringList files;
    QList<QPointer<FakeSoundRecorder>> recorders;
    QList<QPointer<FakeMp3Encoder>> encoders;
};

class FakeRecordingControl : public RecordingControl {
public:
    FakeRecordingControl() { Services::setRecordingControl(this); }
    ~FakeRecordingControl() override { Services::setRecordingControl(nullptr); }
    bool open(QString* error) override {
        ++opened;
        if (!installed && error)
            *error = QStringLiteral("install pavucontrol");
        return installed;
    }
    int opened = 0;
    bool installed = true;
};
