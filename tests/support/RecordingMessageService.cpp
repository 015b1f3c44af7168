#include "RecordingMessageService.h"

#include "base/Services.h"

#include <QStringList>

RecordingMessageService::RecordingMessageService() {
    Services::setMessages(this);
}

RecordingMessageService::~RecordingMessageService() {
    Services::setMessages(nullptr);
}

MessageService::Answer RecordingMessageService::show(const QString& text, const QString& caption,
                                                     Icon icon, Buttons buttons) {
    m_shown.push_back({text, caption, icon, buttons});
    if (onShow)
        onShow(m_shown.back());
    if (!m_answers.empty()) {
        const Answer a = m_answers.front();
        m_answers.pop_front();
        return a;
    }
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

QStringList RecordingMessageService::texts() const {
    QStringList out;
    for (const auto& s : m_shown)
        out << s.text;
    return out;
}
