#include "shell/DialogsInView.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QWindow>

namespace {
bool anotherWindowStaysOnTop(const QWidget* dialog) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [dialog](const QWidget* w) {
        return w != dialog && w->isVisible() && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    });
}
} // namespace

DialogsInView::DialogsInView(QObject* parent) : QObject(parent) {}

bool DialogsInView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog && dialog->isWindow() && dialog->windowHandle() &&
            !dialog->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint) &&
            anotherWindowStaysOnTop(dialog)) {
            // On the native window only: changing the widget's own flags
            // would hide it again while it is being shown.
            dialog->windowHandle()->setFlag(Qt::WindowStaysOnTopHint, true);
            dialog->raise();
        }
    }
    return QObject::eventFilter(watched, event);
}
