#pragma once

#include "base/MessageService.h"

#include <QList>
#include <QString>
#include <deque>
#include <functional>

// Records every message box instead of showing it, and answers questions
// with queued answers (OK when none is queued).
class RecordingMessageService : public MessageService {
public:
    struct Shown {
        QString text;
        QString caption;
        Icon icon;
        Buttons buttons;
    };

    // Installs itself as the program's message service; restores on destruction.
    RecordingMessageService();
    ~RecordingMessageService() override;

    Answer show(const QString& text, const QString& caption, Icon icon,
                Buttons buttons = Buttons::Ok) override;

    void nextAnswer(Answer answer) { m_answers.push_back(answer); }
    // Called for each box before answering (for example to check state then).
    std::function<void(const Shown&)> onShow;

    const QList<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    const Shown& last() const { return m_shown.back(); }
    void clear() { m_shown.clear(); }

private:
    QList<Shown> m_shown;
    std::deque<Answer> m_answers;
};
