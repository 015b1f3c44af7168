#pragma once

#include "platform/Mixer.h"

#include <QString>

// The mixer of the first sound card over alsa-lib's simple mixer interface.
// Selector 0 is the "Master" control, 1 the capture volume of "Mic" (or of
// "Capture" when the card has no microphone capture control), 2 "PCM",
// 3 "Synth". Values 0..65535 are spread linearly over each control's own
// range. The mixer is opened for each call, so a card that appears or goes
// away while the program runs is taken into account.
class AlsaMixer : public Mixer {
public:
    // The mixer device: "hw:0" by default, then "default" when card 0
    // cannot be opened.
    explicit AlsaMixer(QString device = {});

    Result setVolume(int selector, int value) override;
    Result volume(int selector, int& value) override;

    // The element names tried for a selector, in order (empty when the
    // selector is not valid), and whether its capture volume is meant.
    static QStringList elementNames(int selector);
    static bool isCapture(int selector);
    // 0..65535 to the control's range and back, rounded to the nearest step.
    static long toControlValue(int value, long min, long max);
    static int fromControlValue(long raw, long min, long max);

private:
    Result access(int selector, bool write, int& value);
    QString m_device;
};
