#pragma once

#include <QString>

// The desktop's recording control, where the operator picks the microphone
// and sets its level. Tests use a fake.
class RecordingControl {
public:
    virtual ~RecordingControl() = default;
    // Opens it on its input devices without waiting. False, with a text for
    // the operator in *error, when there is none to open.
    virtual bool open(QString* error) = 0;
};

// PulseAudio's volume control (pavucontrol) on its input devices tab.
class PavucontrolRecordingControl : public RecordingControl {
public:
    bool open(QString* error) override;
};
