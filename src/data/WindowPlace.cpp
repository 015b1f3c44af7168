#include "data/WindowPlace.h"

#include "data/ExtraTables.h"
#include "data/datamodule.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace {
// Saves the window's place when it is closed or hidden.
class PlaceKeeper : public QObject {
public:
    explicit PlaceKeeper(QWidget* window) : QObject(window), m_window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_window)
            return false;
        if (event->type() == QEvent::Show)
            m_shown = true;
        else if (m_shown && (event->type() == QEvent::Close || event->type() == QEvent::Hide))
            save();
        return false;
    }

private:
    void save() {
        // Hidden by closing or into the tray: either way the place is worth
        // keeping. A window never shown has no place yet.
        if (!DataModule1 || !DataModule1->isOpen())
            return;
        ExtraTables::setSetting(*DataModule1, WindowPlace::settingName(m_window),
                                QString::fromLatin1(m_window->saveGeometry().toBase64()));
    }

    QPointer<QWidget> m_window;
    bool m_shown = false;
};
} // namespace

namespace WindowPlace {
QString settingName(const QWidget* window) {
    return QStringLiteral("窗口位置/") + window->objectName();
}

void centre(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect free = screen->availableGeometry();
    // Room for the title bar and the frame the window manager adds.
    window->resize(window->size().boundedTo(free.size() - QSize(16, 48)));
    QRect frame = window->frameGeometry();
    frame.moveCenter(free.center());
    window->move(frame.topLeft());
}

void remember(QWidget* window, QSize defaultSize) {
    window->resize(defaultSize);
    bool restored = false;
    if (DataModule1 && DataModule1->isOpen()) {
        const QByteArray stored = QByteArray::fromBase64(
            ExtraTables::setting(*DataModule1, settingName(window)).toLatin1());
        restored = !stored.isEmpty() && window->restoreGeometry(stored);
    }
    // A place saved on a larger screen, or at a smaller scale, is brought
    // back onto this one.
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!restored || (screen && !screen->availableGeometry().contains(window->frameGeometry())))
        centre(window);
    window->installEventFilter(new PlaceKeeper(window));
}
} // namespace WindowPlace
