#include "platform/AlsaMixer.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(AlsaMixer, SelectorsNameTheControls) {
    EXPECT_EQ(AlsaMixer::elementNames(0), QStringList{QStringLiteral("Master")});
    EXPECT_EQ(AlsaMixer::elementNames(1).value(0), QStringLiteral("Mic"));
    EXPECT_TRUE(AlsaMixer::isCapture(1));
    EXPECT_EQ(AlsaMixer::elementNames(2), QStringList{QStringLiteral("PCM")});
    EXPECT_FALSE(AlsaMixer::isCapture(2));
    EXPECT_EQ(AlsaMixer::elementNames(3), QStringList{QStringLiteral("Synth")});
    EXPECT_TRUE(AlsaMixer::elementNames(4).isEmpty());
    EXPECT_TRUE(AlsaMixer::elementNames(-1).isEmpty());
}

TEST(AlsaMixer, ValuesSpreadOverTheControlRange) {
    // A typical 0..87 control and one with a negative minimum.
    EXPECT_EQ(AlsaMixer::toControlValue(0, 0, 87), 0);
    EXPECT_EQ(AlsaMixer::toControlValue(65535, 0, 87), 87);
    EXPECT_EQ(AlsaMixer::toControlValue(13107, 0, 100), 20); // one fifth
    EXPECT_EQ(AlsaMixer::toControlValue(32768, -64, 63), 0);
    EXPECT_EQ(AlsaMixer::toControlValue(70000, 0, 87), 87); // clamped
    EXPECT_EQ(AlsaMixer::toControlValue(-5, 0, 87), 0);
    EXPECT_EQ(AlsaMixer::toControlValue(1000, 5, 5), 5); // a control without range

    EXPECT_EQ(AlsaMixer::fromControlValue(0, 0, 87), 0);
    EXPECT_EQ(AlsaMixer::fromControlValue(87, 0, 87), 65535);
    EXPECT_EQ(AlsaMixer::fromControlValue(20, 0, 100), 13107);
    EXPECT_EQ(AlsaMixer::fromControlValue(-64, -64, 63), 0);
    EXPECT_EQ(AlsaMixer::fromControlValue(500, 0, 87), 65535);
    EXPECT_EQ(AlsaMixer::fromControlValue(3, 3, 3), 0);

    // Every raw step read back and written again lands on the same step.
    for (long raw = 0; raw <= 87; ++raw)
        EXPECT_EQ(AlsaMixer::toControlValue(AlsaMixer::fromControlValue(raw, 0, 87), 0, 87), raw);
}

TEST(AlsaMixer, MixerThatCannotBeOpenedIsNoMixer) {
    AlsaMixer mixer(QStringLiteral("no-such-mixer-device"));
    int value = 1234;
    EXPECT_EQ(mixer.setVolume(0, 65535), Mixer::Result::NoMixer);
    EXPECT_EQ(mixer.volume(2, value), Mixer::Result::NoMixer);
    EXPECT_EQ(value, 1234);
}

TEST(AlsaMixer, MachineWithoutSoundCardIsNoMixer) {
    QFile cards(QStringLiteral("/proc/asound/cards"));
    if (cards.open(QIODevice::ReadOnly) && !cards.readAll().contains("no soundcards"))
        GTEST_SKIP() << "this machine has a sound card";
    AlsaMixer mixer;
    int value = 0;
    EXPECT_EQ(mixer.setVolume(0, 13107), Mixer::Result::NoMixer);
    EXPECT_EQ(mixer.volume(2, value), Mixer::Result::NoMixer);
}
