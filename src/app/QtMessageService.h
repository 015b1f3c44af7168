#pragma once

#include "base/MessageService.h"

// Real message boxes. With the environment variable VORN_MESSAGES=stderr the
// boxes are written to standard error instead and answered with OK (for
// scripted runs without anybody at the screen).
class QtMessageService : public MessageService {
public:
    Answer show(const QString& text, const QString& caption, Icon icon,
                Buttons buttons = Buttons::Ok) override;
};
