#pragma once

#include "base/MessageService.h"

#include <cstdio>

// Boxes a benchmark would show go to the error output instead, answered OK.
class StderrMessages : public MessageService {
public:
    Answer show(const QString& text, const QString& caption, Icon, Buttons) override {
        std::fprintf(stderr, "[message] %s: %s\n", qUtf8Printable(caption), qUtf8Printable(text));
        return Answer::Ok;
    }
};
