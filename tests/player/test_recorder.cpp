// Recording through GStreamer with a test tone standing in for the
// microphone, and the conversion by the LAME encoder.
#include "EnvGuard.h"
#include "PrivatePulse.h"
#include "RecordingMessageService.h"
#include "ToneFiles.h"
#include "base/Services.h"
#include "platform/GstMediaDevice.h"
#include "platform/GstSoundRecorder.h"
#include "player/PlayerCore.h"
#include "player/RecordingTake.h"
#include "player/WavFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtEndian>
#include <gst/pbutils/pbutils.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
// The recording input for the life of the guard (by default a live 440 Hz
// tone standing in for the microphone).
class TestToneInput {
public:
    explicit TestToneInput(const char* source = "audiotestsrc is-live=true freq=440 volume=0.5")
        : m_had(qEnvironmentVariableIsSet("VORN_AUDIO_SOURCE")),
          m_old(qgetenv("VORN_AUDIO_SOURCE")) {
        qputenv("VORN_AUDIO_SOURCE", source);
    }
    ~TestToneInput() {
        if (m_had)
            qputenv("VORN_AUDIO_SOURCE", m_old);
        else
            qunsetenv("VORN_AUDIO_SOURCE");
    }

private:
    bool m_had;
    QByteArray m_old;
};

bool writeHeaderFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && WavFile::writeHeader(f, 1, 16, 44100);
}

qint64 discoveredDurationMs(const QString& path) {
    GstDiscoverer* discoverer = gst_discoverer_new(10 * GST_SECOND, nullptr);
    if (!discoverer)
        return -1;
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uri.constData(), nullptr);
    qint64 ms = -1;
    if (info) {
        ms = qint64(gst_discoverer_info_get_duration(info) / GST_MSECOND);
        g_object_unref(info);
    }
    g_object_unref(discoverer);
    return ms;
}

// Bit rates (kbit/s) of the MPEG-1 layer III frames of a file.
QList<int> frameBitrates(const QString& path) {
    static const int rates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    QFile f(path);
    QList<int> out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QByteArray b = f.readAll();
    qsizetype pos = 0;
    if (b.startsWith("ID3") && b.size() > 10)
        pos = 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F));
    while (pos + 4 <= b.size()) {
        const uchar h1 = uchar(b[pos + 1]), h2 = uchar(b[pos + 2]);
        if (uchar(b[pos]) != 0xFF || (h1 & 0xFE) != 0xFA) // MPEG-1, layer III
            break;
        const int index = h2 >> 4;
        if (index == 0 || index == 15 || ((h2 >> 2) & 3) != 0) // 44100 Hz
            break;
        out << rates[index];
        pos += 144 * rates[index] * 1000 / 44100 + ((h2 >> 1) & 1);
    }
    return out;
}
} // namespace

TEST(Recorder, AThreeSecondTakeBecomesA128kbitMp3OfTheSameLength) {
    if (QStandardPaths::findExecutable("lame").isEmpty())
        GTEST_SKIP() << "lame is not installed";
    TestToneInput input;
    QTemporaryDir dir;
    const QString wav = dir.filePath("take.wav");
    ASSERT_TRUE(writeHeaderFile(wav));

    GstSoundRecorder recorder;
    QSignalSpy stopped(&recorder, &SoundRecorder::stopped);
    ASSERT_TRUE(recorder.start(wav)) << recorder.errorString().toStdString();
    EXPECT_TRUE(recorder.isRecording());
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.position() >= 3000; }, 10000));
    recorder.stop();
    ASSERT_TRUE(stopped.wait(5000));
    EXPECT_TRUE(stopped.first().first().toBool());
    EXPECT_FALSE(recorder.isRecording());

    ASSERT_TRUE(WavFile::finalise(wav));
    const tone::Samples samples = tone::readWav(wav);
    EXPECT_EQ(samples.rate, 44100);
    EXPECT_EQ(samples.channels, 1);
    const qint64 wavMs = samples.frames() * 1000 / 44100;
    EXPECT_GE(wavMs, 2900);
    EXPECT_LE(wavMs, 3600);
    EXPECT_GT(samples.peak(500, 2500), 8000); // the tone, not silence

    LameMp3Encoder encoder;
    QSignalSpy finished(&encoder, &Mp3Encoder::finished);
    const QString mp3 = dir.filePath("take one.mp3");
    const mode_t umaskBefore = ::umask(022);
    encoder.start(wav, mp3);
    EXPECT_TRUE(encoder.isRunning());
    const bool ended = finished.wait(20000);
    ::umask(umaskBefore);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(finished.first().first().toBool())
        << finished.first().last().toString().toStdString();
    const qint64 mp3Ms = discoveredDurationMs(mp3);
    EXPECT_NEAR(double(mp3Ms), double(wavMs), 100.0);
    const QList<int> rates = frameBitrates(mp3);
    ASSERT_GT(rates.size(), 100);
    EXPECT_EQ(rates.count(128), rates.size());
    // An ordinary file, not a private temporary one.
    EXPECT_EQ(QFileInfo(mp3).permissions() & (QFile::ReadGroup | QFile::ReadOther),
              QFile::ReadGroup | QFile::ReadOther);
    // Only the MP3 is left beside the target.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"take one.mp3", "take.wav"}));
}

TEST(Recorder, FailedConversionsReportFailureAndLeaveTheTargetAlone) {
    QTemporaryDir dir;
    const QString target = dir.filePath("old.mp3");
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older recording");
    old.close();
    const QString notWav = dir.filePath("noise.wav");
    QFile junk(notWav);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is no sound at all");
    junk.close();

    struct Case {
        QString program, input, output;
    };
    const QList<Case> cases = {
        {"lame", dir.filePath("none.wav"), target},      // the encoder finds no input
        {"false", notWav, target},                       // non-zero exit
        {"true", notWav, target},                        // "success" without any output
        {"no-such-encoder-program", notWav, target},     // not installed
        {"lame", notWav, dir.filePath("nowhere/x.mp3")}, // the folder is missing
    };
    for (const Case& c : cases) {
        if (c.program == "lame" && QStandardPaths::findExecutable("lame").isEmpty())
            continue;
        LameMp3Encoder::setProgram(c.program);
        LameMp3Encoder encoder;
        QSignalSpy finished(&encoder, &Mp3Encoder::finished);
        encoder.start(c.input, c.output);
        ASSERT_TRUE(finished.wait(10000)) << c.program.toStdString();
        EXPECT_FALSE(finished.first().first().toBool()) << c.program.toStdString();
        EXPECT_FALSE(finished.first().last().toString().isEmpty());
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), "an older recording");
        old.close();
    }
    LameMp3Encoder::setProgram(QString());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"noise.wav", "old.mp3"}));
}

TEST(Recorder, AConversionOutlivesTheEncoderThatStartedIt) {
    if (QStandardPaths::findExecutable("lame").isEmpty())
        GTEST_SKIP() << "lame is not installed";
    QTemporaryDir dir;
    const QString wav = dir.filePath("take.wav");
    ASSERT_TRUE(tone::writeWav(wav, 20000));
    const QString mp3 = dir.filePath("kept.mp3");
    {
        LameMp3Encoder encoder;
        encoder.start(wav, mp3);
        QTest::qWait(50);
        ASSERT_TRUE(encoder.isRunning());
    } // gone long before lame is done
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(mp3); }, 20000));
    EXPECT_GT(frameBitrates(mp3).size(), 700);
    QTest::qWait(100);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"kept.mp3", "take.wav"}));
}

TEST(Recorder, AnInputThatCannotBeMadeIsRefused) {
    TestToneInput input("no-such-element-at-all");
    QTemporaryDir dir;
    GstSoundRecorder recorder;
    EXPECT_FALSE(recorder.start(dir.filePath("x.wav")));
    EXPECT_FALSE(recorder.errorString().isEmpty());
    EXPECT_FALSE(recorder.isRecording());
}

TEST(Recorder, AnInputThatRefusesToOpenEndsTheTakeWithoutWaiting) {
    // A source whose device cannot be opened: the call returns at once and
    // the refusal follows from the event loop.
    TestToneInput input("alsasrc device=hw:97,0");
    QTemporaryDir dir;
    const QString wav = dir.filePath("x.wav");
    ASSERT_TRUE(writeHeaderFile(wav));
    GstSoundRecorder recorder;
    QSignalSpy stopped(&recorder, &SoundRecorder::stopped);
    QElapsedTimer clock;
    clock.start();
    if (!recorder.start(wav))
        GTEST_SKIP() << "no ALSA source element here";
    EXPECT_LT(clock.elapsed(), 200);
    ASSERT_TRUE(stopped.wait(5000));
    EXPECT_FALSE(stopped.first().first().toBool());
    EXPECT_FALSE(recorder.started());
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(recorder.errorString().isEmpty());
    EXPECT_EQ(QFileInfo(wav).size(), 44); // the header, nothing else
}

TEST(Recorder, ATakeStillRecordingWhenThePlayerClosesAtTheEndBecomesItsMp3) {
    if (QStandardPaths::findExecutable("lame").isEmpty())
        GTEST_SKIP() << "lame is not installed";
    TestToneInput input;
    RecordingMessageService messages;
    QTemporaryDir tmp, music;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    Services::setSoundRecorderFactory(
        [](QObject* parent) { return std::make_unique<GstSoundRecorder>(parent); });
    Services::setMp3EncoderFactory(
        [](QObject* parent) { return std::make_unique<LameMp3Encoder>(parent); });
    {
        PlayerCore player(nullptr);
        ASSERT_TRUE(player.startRecording());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                player.tick();
                return player.display().trackPosition >= 1000;
            },
            10000));
        player.closing(music.path()); // the window goes as the program ends
    }
    EXPECT_TRUE(RecordingTake::finishAll(30000));
    Services::setSoundRecorderFactory({});
    Services::setMp3EncoderFactory({});
    if (oldTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmp);

    const QStringList saved = QDir(music.path()).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_TRUE(saved.first().startsWith(QStringLiteral("录音 ")));
    EXPECT_TRUE(saved.first().endsWith(QStringLiteral(".mp3")));
    EXPECT_GT(discoveredDurationMs(music.filePath(saved.first())), 900);
    EXPECT_TRUE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << "the temporary WAV is removed";
    EXPECT_TRUE(messages.shown().isEmpty());
}

namespace {
// Hands the finalised WAV on as it is, so that the test can look at the
// samples of the take.
class CopyingEncoder : public Mp3Encoder {
public:
    using Mp3Encoder::Mp3Encoder;
    void start(const QString& wavFile, const QString& mp3File) override {
        const bool ok = QFile::copy(wavFile, mp3File);
        QMetaObject::invokeMethod(
            this, [this, ok] { emit finished(ok, QString()); }, Qt::QueuedConnection);
    }
    bool isRunning() const override { return false; }
};
} // namespace

TEST(Recorder, ATakeHoldsEverythingFromTheRecordingCueToTheStopPress) {
    if (!PrivatePulse::available())
        GTEST_SKIP() << "no PulseAudio here";
    PrivatePulse pulse;
    ASSERT_TRUE(pulse.start());
    // The default input is the monitor of the server's only output, where a
    // steady tone plays all along.
    EnvGuard server("PULSE_SERVER", pulse.server().toLocal8Bit());
    EnvGuard source("VORN_AUDIO_SOURCE", QByteArray());
    GstMediaDevice::initGStreamer();
    const QByteArray tone =
        "audiotestsrc is-live=true freq=440 volume=0.5 ! audioconvert ! pulsesink server=" +
        pulse.server().toLocal8Bit();
    const std::unique_ptr<GstElement, void (*)(GstElement*)> player(
        gst_parse_launch(tone.constData(), nullptr), [](GstElement* e) {
            if (e) {
                gst_element_set_state(e, GST_STATE_NULL);
                gst_object_unref(e);
            }
        });
    ASSERT_NE(player, nullptr);
    gst_element_set_state(player.get(), GST_STATE_PLAYING);
    ASSERT_EQ(gst_element_get_state(player.get(), nullptr, nullptr, 5 * GST_SECOND),
              GST_STATE_CHANGE_SUCCESS);
    // A tone just begun reaches the output only after a while.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pulse.playing() == 1; }, 5000));
    QTest::qWait(1000);

    RecordingMessageService messages;
    QTemporaryDir tmp, music;
    EnvGuard temporary("TMPDIR", tmp.path().toLocal8Bit());
    Services::setSoundRecorderFactory(
        [](QObject* parent) { return std::make_unique<GstSoundRecorder>(parent); });
    Services::setMp3EncoderFactory(
        [](QObject* parent) { return std::make_unique<CopyingEncoder>(parent); });
    const QString target = music.filePath("take.wav");
    qint64 cueToStopMs = 0;
    {
        PlayerCore core(nullptr);
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(core.startRecording());
        // The operator speaks once the window says that it records.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return core.display().song == QStringLiteral("正在录音中......"); }, 10000));
        const qint64 cue = clock.elapsed();
        QTest::qWait(3000);
        cueToStopMs = clock.elapsed() - cue;
        core.stopRecording();
        core.saveRecording(target);
        ASSERT_TRUE(QTest::qWaitFor([&] { return core.list().paths().contains(target); }, 10000));
    }
    Services::setSoundRecorderFactory({});
    Services::setMp3EncoderFactory({});

    const tone::Samples take = tone::readWav(target);
    const qint64 takeMs = take.frames() * 1000 / 44100;
    // Everything said between the cue and the stop press is in the take.
    EXPECT_GE(takeMs, cueToStopMs) << "cue to stop " << cueToStopMs << " ms";
    EXPECT_LE(takeMs, cueToStopMs + 1500);
    // It is the input's sound, not silence put in its place.
    EXPECT_GT(take.peak(0, takeMs / 2), 8000);
    EXPECT_GT(take.peak(takeMs / 2, takeMs), 8000);
    EXPECT_TRUE(messages.shown().isEmpty());
}
