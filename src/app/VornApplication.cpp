#include "app/VornApplication.h"

#include "base/MessageService.h"

bool VornApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        msg::report(e);
    } catch (...) {
        msg::error(tr("未知错误"));
    }
    return false;
}
