#include "EnvGuard.h"
#include "ToneFiles.h"
#include "platform/GstMediaDevice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {
bool haveLame() {
    return !QStandardPaths::findExecutable(QStringLiteral("lame")).isEmpty();
}

// Tone files shared by the tests of this file, made once.
class GstMediaDeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // GStreamer reads (on a fresh checkout: builds) its plugin list here,
        // not inside the first wait of a test.
        GstMediaDevice::initGStreamer();
        s_dir = new QTemporaryDir;
        ASSERT_TRUE(s_dir->isValid());
        ASSERT_TRUE(tone::writeWav(path("tone2000.wav"), 2000));
        ASSERT_TRUE(tone::writeWav(path("tone1200.wav"), 1200));
        ASSERT_TRUE(tone::writeWav(path("tone1500s.wav"), 1500, 44100, 2, 440.0, 0.8));
        if (haveLame()) {
            // Constant bit rate with an Info header, variable bit rate with a
            // Xing header, and variable bit rate without any header (-t): for
            // the last the decoder only estimates the length.
            ASSERT_TRUE(tone::encodeMp3(path("tone2000.wav"), path("cbr.mp3"),
                                        {QStringLiteral("-b"), QStringLiteral("128")}));
            ASSERT_TRUE(tone::encodeMp3(path("tone2000.wav"), path("vbr.mp3"),
                                        {QStringLiteral("-V"), QStringLiteral("2")}));
            ASSERT_TRUE(
                tone::encodeMp3(path("tone2000.wav"), path("vbr_noheader.mp3"),
                                {QStringLiteral("-t"), QStringLiteral("-V"), QStringLiteral("2")}));
            ASSERT_TRUE(tone::encodeMp3(
                path("tone2000.wav"), path("cbr_noheader.mp3"),
                {QStringLiteral("-t"), QStringLiteral("-b"), QStringLiteral("96")}));
            ASSERT_TRUE(tone::encodeMp3(path("tone1200.wav"), path("short.mp3"),
                                        {QStringLiteral("-b"), QStringLiteral("128")}));
        }
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path(const QString& name) { return s_dir->filePath(name); }

    static QTemporaryDir* s_dir;
};
QTemporaryDir* GstMediaDeviceTest::s_dir = nullptr;

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// Opens in the background: true once the file's length is known.
bool openAndWait(GstMediaDevice& device, const QString& file) {
    return device.open(file) && waitUntil([&] { return device.length() > 0; }, 6000);
}
} // namespace

TEST_F(GstMediaDeviceTest, LengthIsRightForWavAndEveryKindOfMp3) {
    QStringList files{QStringLiteral("tone2000.wav")};
    if (haveLame())
        files << QStringLiteral("cbr.mp3") << QStringLiteral("vbr.mp3")
              << QStringLiteral("vbr_noheader.mp3") << QStringLiteral("cbr_noheader.mp3");
    GstMediaDevice device;
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(openAndWait(device, path(name))) << device.errorString().toStdString();
        EXPECT_EQ(device.mode(), MediaDevice::Mode::Stopped);
        EXPECT_EQ(device.fileName(), path(name));
        EXPECT_EQ(device.position(), 0);
        EXPECT_NEAR(double(device.length()), 2000.0, 50.0);
    }
    if (!haveLame())
        GTEST_SKIP() << "lame is not installed; only the WAV file was checked";
}

TEST_F(GstMediaDeviceTest, FrameCountIsUsedOnlyForMp3WithoutVbrHeader) {
    EXPECT_EQ(GstMediaDevice::mp3LengthFromFrames(path("tone2000.wav")), -1);
    EXPECT_EQ(GstMediaDevice::mp3LengthFromFrames(path("missing.mp3")), -1);
    if (!haveLame())
        GTEST_SKIP() << "lame is not installed";
    EXPECT_EQ(GstMediaDevice::mp3LengthFromFrames(path("vbr.mp3")), -1);
    EXPECT_EQ(GstMediaDevice::mp3LengthFromFrames(path("cbr.mp3")), -1);
    EXPECT_NEAR(double(GstMediaDevice::mp3LengthFromFrames(path("vbr_noheader.mp3"))), 2000.0,
                50.0);
}

TEST_F(GstMediaDeviceTest, PlaysToTheEndAndNotifiesOnceFromTheEventLoop) {
    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    ASSERT_TRUE(openAndWait(device, path("tone1200.wav")));
    ASSERT_TRUE(device.play(true));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
    EXPECT_TRUE(device.notifyEnabled());
    EXPECT_EQ(finished.count(), 0);

    ASSERT_TRUE(waitUntil([&] { return device.position() > 200; }, 5000));
    const qint64 p1 = device.position();
    EXPECT_LT(p1, device.length());
    ASSERT_TRUE(waitUntil([&] { return device.position() > p1; }, 5000));

    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }, 5000));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Stopped);
    EXPECT_EQ(device.position(), device.length());
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 1);

    // Playing again after the end starts from the beginning: the whole song
    // is heard again (a synchronised sink never plays faster than real time).
    QElapsedTimer replay;
    replay.start();
    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2; }, 5000));
    EXPECT_GE(replay.elapsed(), 1100);
}

TEST_F(GstMediaDeviceTest, Mp3PlaysToTheEnd) {
    if (!haveLame())
        GTEST_SKIP() << "lame is not installed";
    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    ASSERT_TRUE(openAndWait(device, path("short.mp3")));
    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(waitUntil([&] { return device.position() > 100; }, 5000));
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }, 5000));
    EXPECT_EQ(device.position(), device.length());
}

TEST_F(GstMediaDeviceTest, WithoutNotifyNoCompletionArrives) {
    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    ASSERT_TRUE(device.open(path("tone1200.wav")));
    ASSERT_TRUE(device.play(false));
    EXPECT_FALSE(device.notifyEnabled());
    ASSERT_TRUE(waitUntil([&] { return device.mode() == MediaDevice::Mode::Stopped; }, 5000));
    EXPECT_EQ(device.position(), device.length());
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 0);

    // Notify switched off while the song plays: no completion either.
    ASSERT_TRUE(device.play(true));
    device.setNotifyEnabled(false);
    ASSERT_TRUE(waitUntil([&] { return device.mode() == MediaDevice::Mode::Stopped; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 0);
}

TEST_F(GstMediaDeviceTest, MissingAndUndecodableFilesFailWithAMessage) {
    GstMediaDevice device;
    const QString missing = path("no-such-song.mp3");
    EXPECT_FALSE(device.open(missing));
    EXPECT_TRUE(device.errorString().contains(missing));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen);
    EXPECT_FALSE(device.play(true));

    // Random bytes, and text, behind sound file names.
    QFile noise(path("noise.mp3"));
    ASSERT_TRUE(noise.open(QIODevice::WriteOnly));
    QByteArray bytes(64 * 1024, '\0');
    QRandomGenerator gen(7);
    for (char& c : bytes)
        c = char(gen.bounded(256));
    noise.write(bytes);
    noise.close();
    QFile text(path("notes.wav"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is not a sound file\n");
    text.close();

    // Each broken file is followed by good ones, in both of the device's
    // streams: a stream that failed to open a file plays the next one.
    QSignalSpy failed(&device, &MediaDevice::failed);
    const QString good = path("tone1200.wav");
    for (const QString& bad :
         {path("noise.mp3"), path("notes.wav"), good, good, path("notes.wav"), path("noise.mp3"),
          path("noise.mp3"), good, path("notes.wav"), good, good}) {
        SCOPED_TRACE(bad.toStdString());
        if (bad == good) {
            ASSERT_TRUE(openAndWait(device, good)) << device.errorString().toStdString();
            EXPECT_TRUE(device.errorString().isEmpty());
            EXPECT_EQ(device.mode(), MediaDevice::Mode::Stopped);
            continue;
        }
        failed.clear();
        // Refused later, from the event loop: the call itself never waits.
        EXPECT_TRUE(device.open(bad));
        EXPECT_EQ(failed.count(), 0);
        ASSERT_TRUE(waitUntil([&] { return failed.count() > 0; }, 8000));
        EXPECT_EQ(failed.at(0).at(0).toString(), bad);
        EXPECT_EQ(failed.at(0).at(1).value<MediaDevice::Failure>(),
                  MediaDevice::Failure::Undecodable);
        EXPECT_TRUE(device.errorString().contains(bad));
        EXPECT_TRUE(device.errorString().contains(QStringLiteral("无法解码")));
        EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen);
        EXPECT_EQ(device.length(), 0);
    }

    // The good song that follows plays to its end.
    QSignalSpy finished(&device, &MediaDevice::finished);
    failed.clear();
    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }, 5000));
    EXPECT_TRUE(failed.isEmpty());
}

TEST_F(GstMediaDeviceTest, PauseResumeSeekStopAndClose) {
    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    ASSERT_TRUE(openAndWait(device, path("tone2000.wav")));

    device.seek(800);
    EXPECT_NEAR(double(device.position()), 800.0, 60.0);
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Stopped);

    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(waitUntil([&] { return device.position() > 900; }, 5000));

    device.pause();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Paused);
    QTest::qWait(300);
    const qint64 paused = device.position();
    QTest::qWait(300);
    EXPECT_NEAR(double(device.position()), double(paused), 30.0);

    // Back to 0.3 s: the rest of the song takes at least 1.7 s to play.
    device.resume();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
    QElapsedTimer afterSeek;
    afterSeek.start();
    device.seek(300);
    EXPECT_EQ(device.position(), 300);
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }, 6000));
    EXPECT_GE(afterSeek.elapsed(), 1500);
    finished.clear();

    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(waitUntil([&] { return device.position() > 100; }, 5000));
    device.stop();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Stopped);
    EXPECT_EQ(device.position(), 0);
    QTest::qWait(300);
    EXPECT_EQ(device.position(), 0);

    // From the start again: the whole song is still ahead.
    QElapsedTimer fromStart;
    fromStart.start();
    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }, 6000));
    EXPECT_GE(fromStart.elapsed(), 1800);
    finished.clear();

    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(waitUntil([&] { return device.position() > 100; }, 5000));
    device.close();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen);
    EXPECT_TRUE(device.fileName().isEmpty());
    EXPECT_EQ(device.length(), 0);
    EXPECT_EQ(device.position(), 0);
    EXPECT_FALSE(device.play(true));
    QTest::qWait(2200);
    EXPECT_EQ(finished.count(), 0); // a closed song never reports its end
}

TEST_F(GstMediaDeviceTest, OpeningAnotherSongDropsTheEndOfThePrevious) {
    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    ASSERT_TRUE(device.open(path("tone1200.wav")));
    ASSERT_TRUE(device.play(true));
    // Reopen right inside the completion, as the song-end handler does.
    QObject::connect(&device, &MediaDevice::finished, &device, [&] {
        if (finished.count() == 1) {
            ASSERT_TRUE(device.open(path("tone1200.wav")));
            ASSERT_TRUE(device.play(true));
        }
    });
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2; }, 6000));
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 2);
}

namespace {
// Plays a file into a WAV file written by the sink; `during` runs while it
// plays. Returns the samples written.
tone::Samples playIntoWav(const QString& song, const QString& out, int volumeBefore,
                          const std::function<void(GstMediaDevice&)>& during = {}) {
    EnvGuard sink("VORN_AUDIO_SINK",
                  QByteArray("wavenc ! filesink sync=true location=") + QFile::encodeName(out));
    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    EXPECT_TRUE(openAndWait(device, song)) << device.errorString().toStdString();
    device.setVolume(volumeBefore);
    EXPECT_EQ(device.volume(), volumeBefore);
    EXPECT_TRUE(device.play(true));
    if (during)
        during(device);
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 6000));
    device.close();
    return tone::readWav(out);
}
} // namespace

TEST_F(GstMediaDeviceTest, VolumeZeroIsSilentAndFullVolumeIsHeard) {
    const tone::Samples silent = playIntoWav(path("tone1200.wav"), path("silent.wav"), 0);
    ASSERT_GT(silent.frames(), 44100); // about 1.2 s were written
    EXPECT_LE(silent.peak(0, 5000), 30);

    const tone::Samples loud = playIntoWav(path("tone1200.wav"), path("loud.wav"), 1000);
    ASSERT_GT(loud.frames(), 44100);
    EXPECT_GT(loud.peak(100, 1100), 15000);

    const tone::Samples half = playIntoWav(path("tone1200.wav"), path("half.wav"), 500);
    EXPECT_NEAR(double(half.peak(100, 1100)), loud.peak(100, 1100) / 2.0, 800.0);
}

TEST_F(GstMediaDeviceTest, VolumeChangeWhilePlayingIsARampNotAStep) {
    qint64 changedAt = -1;
    const tone::Samples s =
        playIntoWav(path("tone1500s.wav"), path("ramp.wav"), 1000, [&](GstMediaDevice& device) {
            QTest::qWait(600);
            changedAt = device.position();
            device.setVolume(0);
            EXPECT_EQ(device.volume(), 0); // the target, at once
        });
    ASSERT_GT(changedAt, 300);
    ASSERT_EQ(s.channels, 2);
    const int full = s.peak(0, changedAt - 150);
    EXPECT_GT(full, 20000);
    // After the ramp: silence to the end.
    EXPECT_LE(s.peak(changedAt + 300, 5000), 30);

    // Within the ramp, many short stretches lie between full and silent; a
    // single step would give at most one.
    int between = 0;
    for (qint64 ms = changedAt - 150; ms < changedAt + 300; ms += 2) {
        const int p = s.peak(ms, ms + 2);
        if (p > full / 10 && p < full * 9 / 10)
            ++between;
    }
    EXPECT_GE(between, 5);
}

TEST_F(GstMediaDeviceTest, BadSinkDescriptionIsReported) {
    EnvGuard sink("VORN_AUDIO_SINK", "no-such-element-xyz");
    GstMediaDevice device;
    QSignalSpy failed(&device, &MediaDevice::failed);
    QSignalSpy output(&device, &MediaDevice::outputProblem);
    EXPECT_TRUE(device.open(path("tone1200.wav")));
    ASSERT_TRUE(waitUntil([&] { return failed.count() > 0; }, 5000));
    EXPECT_EQ(failed.at(0).at(1).value<MediaDevice::Failure>(), MediaDevice::Failure::Output);
    ASSERT_EQ(output.count(), 1);
    EXPECT_TRUE(output.at(0).at(0).toString().contains(QStringLiteral("VORN_AUDIO_SINK")));
    EXPECT_FALSE(GstMediaDevice::checkAudioOutput().isEmpty());
}

TEST_F(GstMediaDeviceTest, MissingSoundOutputIsToldToTheOperator) {
    {
        // A sink named on purpose is what the operator asked for.
        EnvGuard sink("VORN_AUDIO_SINK", "fakesink sync=true");
        EXPECT_TRUE(GstMediaDevice::checkAudioOutput().isEmpty());
    }
    EnvGuard sink("VORN_AUDIO_SINK", QByteArray());
    const QString problem = GstMediaDevice::checkAudioOutput();
    if (problem.isEmpty())
        GTEST_SKIP() << "this machine has a working sound output";
    EXPECT_EQ(problem, QStringLiteral("没有可用的声音输出设备，广播将没有声音！"));

    GstMediaDevice device;
    QSignalSpy reported(&device, &MediaDevice::outputProblem);
    ASSERT_TRUE(device.open(path("tone1200.wav"))) << device.errorString().toStdString();
    EXPECT_EQ(reported.count(), 0); // never from inside the call
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.count() > 0; }, 2000));
    EXPECT_EQ(reported.at(0).at(0).toString(), problem);
    // Reported once, not at every song.
    ASSERT_TRUE(device.open(path("tone2000.wav")));
    QTest::qWait(100);
    EXPECT_EQ(reported.count(), 1);
}

TEST_F(GstMediaDeviceTest, ErrorWhilePlayingEndsTheSongInsteadOfHanging) {
    // An output that fails once sound reaches it, like a file going bad in
    // the middle: the song ends with its completion and the device can go on.
    EnvGuard sink("VORN_AUDIO_SINK",
                  "wavenc ! filesink location=/dev/full buffer-mode=unbuffered sync=true");
    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    ASSERT_TRUE(device.open(path("tone2000.wav"))) << device.errorString().toStdString();
    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 5000));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Stopped);
    EXPECT_EQ(device.position(), device.length());
    EXPECT_FALSE(device.errorString().isEmpty());

    // Playing again starts over (and fails the same way, without a hang).
    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 1; }, 5000));
    device.close();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen);
}

TEST_F(GstMediaDeviceTest, DamageInsideAnMp3DoesNotShortenItsLength) {
    if (!haveLame())
        GTEST_SKIP() << "lame is not installed";
    QFile original(path("cbr_noheader.mp3"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QByteArray bytes = original.readAll();
    const qint64 before = GstMediaDevice::mp3LengthFromFrames(path("cbr_noheader.mp3"));
    // Overwrite a stretch in the middle with bytes that are no frame.
    const qsizetype middle = bytes.size() / 2;
    for (qsizetype i = middle; i < middle + 1500; ++i)
        bytes[i] = char(0x55);
    QFile damaged(path("damaged.mp3"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(bytes);
    damaged.close();

    const qint64 after = GstMediaDevice::mp3LengthFromFrames(path("damaged.mp3"));
    EXPECT_GT(after, before - 250); // only the few frames overwritten are lost
    EXPECT_LE(after, before);

    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    ASSERT_TRUE(openAndWait(device, path("damaged.mp3"))) << device.errorString().toStdString();
    EXPECT_EQ(device.length(), after);
    ASSERT_TRUE(device.play(true));
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 5000));
}

namespace {
QByteArray fileBytes(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void putBytes(const QString& name, const QByteArray& bytes) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// An ID3v2.3 tag holding a cover picture of `size` bytes of JPEG-like data.
QByteArray id3WithPicture(int size) {
    QByteArray picture("\xff\xd8\xff\xe0");
    for (int i = 0; i < size; ++i)
        picture += char(QRandomGenerator::global()->bounded(256));
    const QByteArray body = QByteArray("\0image/jpeg\0\x03\0", 14) + picture;
    QByteArray frame = "APIC";
    for (int shift : {24, 16, 8, 0})
        frame += char((body.size() >> shift) & 0xFF);
    frame += QByteArray(2, '\0') + body;
    QByteArray tag("ID3\x03\0\0", 6);
    for (int shift : {21, 14, 7, 0})
        tag += char((frame.size() >> shift) & 0x7F);
    return tag + frame;
}
} // namespace

TEST_F(GstMediaDeviceTest, JoinedSongsWithCoverArtAndLongGapsKeepTheirLength) {
    if (!haveLame())
        GTEST_SKIP() << "lame is not installed";
    ASSERT_TRUE(tone::writeWav(path("ten_a.wav"), 10000, 44100, 1, 440.0));
    ASSERT_TRUE(tone::writeWav(path("ten_b.wav"), 10000, 44100, 1, 660.0));
    ASSERT_TRUE(tone::encodeMp3(path("ten_a.wav"), path("ten_a.mp3"),
                                {QStringLiteral("-b"), QStringLiteral("128")}));
    ASSERT_TRUE(
        tone::encodeMp3(path("ten_b.wav"), path("ten_b.mp3"),
                        {QStringLiteral("-t"), QStringLiteral("-b"), QStringLiteral("128")}));
    const QByteArray a = fileBytes(path("ten_a.mp3"));
    const QByteArray b = fileBytes(path("ten_b.mp3"));
    // Two songs with their cover art, joined (the first with an Info header
    // that speaks of its own ten seconds only).
    putBytes(path("joined.mp3"), id3WithPicture(100 * 1024) + a + id3WithPicture(90 * 1024) + b);
    // 70 KB of zeros in the middle of a ten second song.
    const qsizetype half = b.size() / 2;
    putBytes(path("gap.mp3"), b.left(half) + QByteArray(70 * 1024, '\0') + b.mid(half));

    GstMediaDevice device;
    for (const auto& [name, seconds] : {std::pair{"joined.mp3", 20}, std::pair{"gap.mp3", 10}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(openAndWait(device, path(QString::fromLatin1(name))))
            << device.errorString().toStdString();
        EXPECT_NEAR(double(device.length()), seconds * 1000.0, seconds * 10.0);
    }
}

TEST_F(GstMediaDeviceTest, ASongRewrittenWhileItsLengthIsCountedDoesNotCrash) {
    if (!haveLame())
        GTEST_SKIP() << "lame is not installed";
    const QByteArray whole = fileBytes(path("cbr_noheader.mp3")).repeated(20);
    const QString name = path("rewritten.mp3");
    putBytes(name, whole);
    const qint64 full = GstMediaDevice::mp3LengthFromFrames(name);
    ASSERT_NEAR(double(full),
                20.0 * double(GstMediaDevice::mp3LengthFromFrames(path("cbr_noheader.mp3"))),
                100.0);

    // Another program cuts the file short and writes it again, over and over.
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        QFile f(name);
        if (!f.open(QIODevice::ReadWrite))
            return;
        while (!stop) {
            f.resize(4096);
            f.seek(4096);
            f.write(whole.mid(4096));
            f.flush();
        }
    });
    QElapsedTimer timer;
    timer.start();
    int counts = 0;
    while (timer.elapsed() < 800 || counts < 20) {
        const qint64 ms = GstMediaDevice::mp3LengthFromFrames(name);
        EXPECT_LE(ms, full + 100);
        ++counts;
    }
    stop = true;
    writer.join();
}

TEST_F(GstMediaDeviceTest, StopRightAfterAFadeToSilenceDoesNotCutTheSound) {
    // The fade-out sets the volume to 0 and ends the song in the same moment.
    // (Closed here rather than stopped: the return to the start after a stop
    // makes the WAV writer start its file over.)
    const QString out = path("fadeout.wav");
    EnvGuard sink("VORN_AUDIO_SINK",
                  QByteArray("wavenc ! filesink sync=true location=") + QFile::encodeName(out));
    GstMediaDevice device;
    ASSERT_TRUE(openAndWait(device, path("tone1500s.wav")));
    ASSERT_TRUE(device.play(true));
    QTest::qWait(400);
    device.setVolume(0);
    device.close();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen); // at once; the sound later
    QTest::qWait(600);

    const tone::Samples s = tone::readWav(out);
    const qint64 endMs = s.frames() * 1000 / qMax(1, s.rate);
    ASSERT_GT(endMs, 250);
    EXPECT_GT(s.peak(0, endMs - 150), 20000);
    EXPECT_LE(s.peak(endMs - 10, endMs), 30); // the last sound written is silence
}

TEST_F(GstMediaDeviceTest, SongsOfAListJoinWithoutAGap) {
    // Two tones of different pitch, the second set as the next song while
    // the first plays; the decoded output holds both back to back.
    ASSERT_TRUE(tone::writeWav(path("low.wav"), 1500, 44100, 1, 300.0, 0.6));
    ASSERT_TRUE(tone::writeWav(path("high.wav"), 1500, 44100, 1, 900.0, 0.6));
    const QString out = path("joined.wav");
    EnvGuard sink("VORN_AUDIO_SINK",
                  QByteArray("wavenc ! filesink sync=true location=") + QFile::encodeName(out));
    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    QSignalSpy started(&device, &MediaDevice::nextStarted);
    QSignalSpy refused(&device, &MediaDevice::nextFailed);
    ASSERT_TRUE(device.cue(path("low.wav"), 1000));
    ASSERT_TRUE(device.playCued(true));
    ASSERT_TRUE(device.setNext(path("high.wav")));
    ASSERT_TRUE(waitUntil([&] { return started.count() > 0; }, 15000))
        << (refused.isEmpty() ? std::string("no answer")
                              : refused.at(0).at(2).toString().toStdString());
    EXPECT_EQ(started.at(0).at(0).toString(), path("high.wav"));
    EXPECT_EQ(device.fileName(), path("high.wav"));
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }, 15000));
    device.close();
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 1); // the first song handed over, it did not end

    const tone::Samples s = tone::readWav(out);
    const qint64 totalMs = s.frames() * 1000 / qMax(1, s.rate);
    EXPECT_NEAR(double(totalMs), 3000.0, 30.0);
    // No stretch of 5 ms without sound anywhere inside the two songs.
    int quietest = 1 << 20;
    for (qint64 ms = 5; ms + 5 < totalMs - 5; ms += 1)
        quietest = qMin(quietest, s.peak(ms, ms + 5));
    EXPECT_GT(quietest, 5000);
}

TEST_F(GstMediaDeviceTest, CuedSongStartsWithoutTouchingThePlayingOne) {
    GstMediaDevice device;
    QSignalSpy finished(&device, &MediaDevice::finished);
    ASSERT_TRUE(openAndWait(device, path("tone2000.wav")));
    ASSERT_TRUE(device.play(true));
    ASSERT_TRUE(device.cue(path("tone1200.wav"), 200));
    EXPECT_EQ(device.cuedFile(), path("tone1200.wav"));
    QTest::qWait(500);
    EXPECT_EQ(device.fileName(), path("tone2000.wav"));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
    EXPECT_GT(device.position(), 200);

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(device.playCued(true));
    EXPECT_EQ(device.fileName(), path("tone1200.wav"));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
    EXPECT_EQ(device.volume(), 200);
    EXPECT_TRUE(device.cuedFile().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return device.position() > 100; }, 5000));
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }, 5000));
    // The cued song played from its start, not from where the other one was.
    EXPECT_GE(clock.elapsed(), 1100);
    EXPECT_EQ(finished.count(), 1); // the song that was replaced never reports its end
}
