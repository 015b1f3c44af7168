#pragma once

// The sound card's mixer (first card). Selectors: 0 speakers/master,
// 1 microphone/capture, 2 wave output/PCM, 3 synthesizer. Values 0..65535.
class Mixer {
public:
    enum class Result {
        Ok,
        NoMixer,   // no card, or the mixer cannot be opened
        NoLine,    // the card has no such line (or the selector is not valid)
        NoControl, // the line has no volume control
        Refused,   // the card refused to set or read the value
    };
    virtual ~Mixer() = default;
    virtual Result setVolume(int selector, int value) = 0;
    virtual Result volume(int selector, int& value) = 0;
};
