#include "ToneFiles.h"
#include "platform/GstSongLengthProbe.h"

#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SongLengthProbe, AnswersEveryRequestInOrderOffTheWindowThread) {
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("一.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("二.mp3"));
    const QString broken = dir.filePath(QStringLiteral("broken.mp3"));
    ASSERT_TRUE(tone::writeWav(wav, 1500));
    const bool lame = !QStandardPaths::findExecutable(QStringLiteral("lame")).isEmpty() &&
                      tone::encodeMp3(wav, mp3, {QStringLiteral("-b"), QStringLiteral("128")});
    QFile junk(broken);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();

    GstSongLengthProbe probe;
    QSignalSpy answers(&probe, &SongLengthProbe::measured);
    QStringList asked = {wav, dir.filePath(QStringLiteral("gone.wav")), broken, dir.path()};
    if (lame)
        asked << mp3;
    for (const QString& path : asked)
        probe.request(path);
    EXPECT_TRUE(answers.isEmpty()) << "answers come later, from the worker";
    while (answers.size() < asked.size())
        ASSERT_TRUE(answers.wait(15000));

    QStringList order;
    for (const QList<QVariant>& answer : answers)
        order << answer[0].toString();
    EXPECT_EQ(order, asked);
    EXPECT_NEAR(answers[0][1].toLongLong(), 1500, 30);
    EXPECT_EQ(answers[1][1].toLongLong(), SongLengthProbe::missing);
    EXPECT_EQ(answers[2][1].toLongLong(), SongLengthProbe::unreadable);
    EXPECT_EQ(answers[3][1].toLongLong(), SongLengthProbe::unreadable) << "a folder";
    if (lame) {
        EXPECT_NEAR(answers[4][1].toLongLong(), 1500, 60);
    }
}

TEST(SongLengthProbe, AProbeThatGoesAwayDropsItsAnswers) {
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("a.wav"));
    ASSERT_TRUE(tone::writeWav(wav, 500));
    auto probe = std::make_unique<GstSongLengthProbe>();
    for (int i = 0; i < 20; ++i)
        probe->request(wav);
    probe.reset(); // must neither wait for the worker nor crash when it answers

    GstSongLengthProbe later;
    QSignalSpy answers(&later, &SongLengthProbe::measured);
    later.request(wav);
    ASSERT_TRUE(answers.wait(15000));
    EXPECT_EQ(answers.size(), 1);
    EXPECT_NEAR(answers[0][1].toLongLong(), 500, 30);
}
