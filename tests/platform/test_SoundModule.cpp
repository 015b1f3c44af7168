// Loading the sound module: the real one from the build tree, and files that
// are missing or are no module of ours. This program links none of the
// GStreamer classes itself: everything sound comes from the module.
#include "app/RealServices.h"
#include "base/Services.h"
#include "platform/SoundModule.h"
#include "support/Eventually.h"
#include "support/ToneFiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {
class SoundModuleTest : public ::testing::Test {
protected:
    ~SoundModuleTest() override {
        Services::setMediaDeviceFactory({});
        Services::setSongLengthProbeFactory({});
        Services::setSoundRecorderFactory({});
        Services::setMp3EncoderFactory({});
        Services::setAudioOutputCheck({});
        Services::setAudioOutputs(nullptr);
        Services::setMixer(nullptr);
    }
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QTemporaryDir dir;
};

TEST_F(SoundModuleTest, TheBuiltModuleGivesADeviceThatPlaysAToneToTheEnd) {
    ASSERT_TRUE(tone::writeWav(path("tone.wav"), 600));
    SoundModule module({path("missing/vorn-gstreamer.so"), QStringLiteral(VORN_SOUND_MODULE)});
    installSoundServices(module);
    EXPECT_FALSE(module.loaded()) << "loaded before anything asked for sound";

    std::unique_ptr<MediaDevice> device = Services::createMediaDevice(nullptr);
    ASSERT_TRUE(module.loaded()) << qPrintable(module.errorString());
    EXPECT_TRUE(module.errorString().isEmpty());
    EXPECT_TRUE(Services::audioOutputProblem().isEmpty());
    // One MediaDevice class in the process: the program's, which the
    // module's device derives from; its signals reach the program.
    EXPECT_EQ(qobject_cast<MediaDevice*>(device.get()), device.get());
    EXPECT_STREQ(device->metaObject()->superClass()->className(), "MediaDevice");
    EXPECT_EQ(device->metaObject()->superClass(), &MediaDevice::staticMetaObject);
    QSignalSpy finished(device.get(), &MediaDevice::finished);
    ASSERT_TRUE(device->open(path("tone.wav"))) << qPrintable(device->errorString());
    ASSERT_TRUE(device->play(true));
    EXPECT_EVENTUALLY_WITHIN(finished.count() == 1, 10000);
    EXPECT_EQ(device->failure(), MediaDevice::Failure::None);

    // The rest of the sound came with it, once.
    AudioOutputs* outputs = Services::audioOutputs();
    ASSERT_NE(outputs, nullptr);
    EXPECT_EQ(outputs->metaObject()->superClass(), &AudioOutputs::staticMetaObject);
    EXPECT_NE(Services::createSongLengthProbe(nullptr), nullptr);
    EXPECT_NE(Services::createSoundRecorder(nullptr), nullptr);
    EXPECT_NE(Services::createMp3Encoder(nullptr), nullptr);
    EXPECT_EQ(Services::audioOutputs(), outputs);
    delete outputs;
}

TEST_F(SoundModuleTest, AMissingModuleLeavesADeviceThatFailsEveryFileWithTheReason) {
    ASSERT_TRUE(tone::writeWav(path("tone.wav"), 300));
    QDir(dir.path()).mkdir("folder.so"); // not a file: passed over, not opened
    SoundModule module({path("folder.so"), path("gone/vorn-gstreamer.so")});
    installSoundServices(module);

    const QString problem = Services::audioOutputProblem();
    EXPECT_FALSE(module.loaded());
    EXPECT_TRUE(problem.contains("vorn-gstreamer.so")) << qPrintable(problem);
    EXPECT_TRUE(
        problem.contains(path("folder.so") + QStringLiteral("、") + path("gone/vorn-gstreamer.so")))
        << qPrintable(problem);
    EXPECT_EQ(problem, module.errorString());

    std::unique_ptr<MediaDevice> device = Services::createMediaDevice(nullptr);
    ASSERT_NE(device, nullptr);
    EXPECT_FALSE(device->cue(path("tone.wav"), 1000) && device->playCued(true));
    EXPECT_EQ(device->failure(), MediaDevice::Failure::Output);
    EXPECT_EQ(device->errorString(), problem);
    EXPECT_FALSE(device->setNext(path("tone.wav")));
    EXPECT_TRUE(device->setNext(QString())) << "clearing the next song is no failure";
    EXPECT_EQ(device->mode(), MediaDevice::Mode::NotOpen);

    EXPECT_EQ(Services::createSongLengthProbe(nullptr), nullptr);
    EXPECT_EQ(Services::audioOutputs(), nullptr);
    try {
        Services::createSoundRecorder(nullptr);
        ADD_FAILURE() << "a recorder without the module";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), problem);
    }
    EXPECT_THROW(Services::createMp3Encoder(nullptr), std::runtime_error);
}

TEST_F(SoundModuleTest, TheMixerComesWithTheModuleAtItsFirstUse) {
    SoundModule module({QStringLiteral(VORN_SOUND_MODULE)});
    installSoundServices(module);
    ASSERT_NE(Services::mixer(), nullptr);
    EXPECT_FALSE(module.loaded());
    int level = 0;
    Services::mixer()->volume(0, level); // whatever the card says
    EXPECT_TRUE(module.loaded());

    SoundModule missing({path("gone/vorn-gstreamer.so")});
    installSoundServices(missing);
    EXPECT_EQ(Services::mixer()->volume(0, level), Mixer::Result::NoMixer);
    EXPECT_EQ(Services::mixer()->setVolume(0, 1000), Mixer::Result::NoMixer);
}

TEST_F(SoundModuleTest, AFileThatIsNoModuleOfOursIsRefusedWithItsName) {
    // Not a shared library at all.
    QFile text(path("vorn-gstreamer.so"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a module\n");
    text.close();
    SoundModule notElf({text.fileName()});
    EXPECT_FALSE(notElf.load());
    EXPECT_TRUE(notElf.errorString().contains(text.fileName())) << qPrintable(notElf.errorString());
    // Asked again: the answer stands, nothing is tried twice.
    EXPECT_FALSE(notElf.load());

    // A shared library, but without our entry point.
    SoundModule foreign({QStringLiteral(VORN_FOREIGN_LIBRARY)});
    EXPECT_FALSE(foreign.load());
    EXPECT_TRUE(foreign.errorString().contains("vornSoundModuleServices"))
        << qPrintable(foreign.errorString());
}

} // namespace
