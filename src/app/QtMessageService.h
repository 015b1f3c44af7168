#pragma once

#include "base/MessageService.h"

#include <memory>

class QMessageBox;

// Real message boxes. With the environment variable VORN_MESSAGES=stderr the
// boxes are written to standard error instead and answered with OK (for
// scripted runs without anybody at the screen).
class QtMessageService : public MessageService {
public:
    Answer show(const QString& text, const QString& caption, Icon icon,
                Buttons buttons = Buttons::Ok) override;

    // The box show() runs: wide enough that the window manager does not cut
    // its caption short, whatever the length of the text.
    static std::unique_ptr<QMessageBox> makeBox(const QString& text, const QString& caption,
                                                Icon icon, Buttons buttons);
    // The narrowest box whose title bar shows the caption whole.
    static int minimumWidthFor(const QString& caption);
};
