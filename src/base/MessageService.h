#pragma once

#include <QString>
#include <exception>

// Every message box of the program goes through here, so that tests can
// record what would have been shown and answer questions without a screen.
class MessageService {
public:
    enum class Icon { None, Information, Question, Warning, Error };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~MessageService() = default;
    virtual Answer show(const QString& text, const QString& caption, Icon icon,
                        Buttons buttons = Buttons::Ok) = 0;
};

namespace msg {
// The installed service (see Services).
MessageService& service();

inline void error(const QString& text, const QString& caption = QStringLiteral("错误")) {
    service().show(text, caption, MessageService::Icon::Error);
}
inline void notice(const QString& text, const QString& caption = QStringLiteral("提示")) {
    service().show(text, caption, MessageService::Icon::None);
}
inline bool confirm(const QString& text, const QString& caption = QStringLiteral("提示")) {
    return service().show(text, caption, MessageService::Icon::Question,
                          MessageService::Buttons::OkCancel) == MessageService::Answer::Ok;
}
// The general error report: a failure nobody else handled, shown with its own text.
void report(const std::exception& e);
} // namespace msg
