#include "shell/TrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QTimer>
#include <QWidget>

TTrayIcon::TTrayIcon(QWidget* window, QObject* parent)
    : QObject(parent), m_window(window), m_tray(new QSystemTrayIcon(this)),
      m_timer(new QTimer(this)), m_trayWatch(new QTimer(this)), m_icon(QApplication::windowIcon()) {
    m_timer->setInterval(1000);
    m_trayWatch->setInterval(3000);
    connect(m_trayWatch, &QTimer::timeout, this, &TTrayIcon::watchTray);
    connect(m_timer, &QTimer::timeout, this, &TTrayIcon::NextAnimationFrame);
    connect(m_tray, &QSystemTrayIcon::activated, this, &TTrayIcon::activated);
    UpdateTrayIcon();
}

// The window's event filter list does not keep a destroyed filter, so no
// hook outlives the component.
TTrayIcon::~TTrayIcon() = default;

bool TTrayIcon::trayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TTrayIcon::windowMinimised() const {
    return m_window && (m_hiddenInTray || m_window->isMinimized());
}

void TTrayIcon::hideWindowToTray() {
    // Only with an icon to click on may the window leave the taskbar.
    if (!m_window || !m_visible || !trayAvailable())
        return;
    m_hiddenInTray = true;
    m_window->hide();
}

void TTrayIcon::showWindowAgain() {
    if (!m_hiddenInTray)
        return;
    m_hiddenInTray = false;
    m_restored.invalidate(); // the minimise that follows is ours
    if (m_window)
        m_window->showMinimized();
}

void TTrayIcon::setVisible(bool visible) {
    m_visible = visible;
    if (visible) {
        if (trayAvailable())
            m_tray->show();
        m_trayWatch->start();
        setHide(true);
        if (m_window && !m_hookInstalled) {
            m_window->installEventFilter(this);
            m_hookInstalled = true;
        }
    } else {
        m_trayWatch->stop();
        m_tray->hide();
        setHide(false);
        if (m_window && m_hookInstalled)
            m_window->removeEventFilter(this);
        m_hookInstalled = false;
        // Without the icon a window hidden in the tray could not be reached.
        showWindowAgain();
    }
}

void TTrayIcon::watchTray() {
    if (!m_visible)
        return;
    if (trayAvailable()) {
        if (!m_tray->isVisible())
            m_tray->show();
    } else {
        m_tray->hide();
        showWindowAgain();
    }
}

void TTrayIcon::setHint(const QString& hint) {
    // Shown whole: the desktop's tooltips have no length limit.
    if (hint == m_hint)
        return;
    m_hint = hint;
    m_tray->setToolTip(hint);
    UpdateTrayIcon();
}

void TTrayIcon::setPopupMenu(QMenu* menu) {
    m_popupMenu = menu;
    attachNativeMenu();
}

void TTrayIcon::setPopupMenuOn(TTrayIconMessage on) {
    m_popupMenuOn = on;
    attachNativeMenu();
}

void TTrayIcon::attachNativeMenu() {
    // A right click is where desktops open an icon's menu themselves (some,
    // like the StatusNotifier hosts, only that way); let them show it there.
    m_tray->setContextMenu(m_popupMenuOn == imRightClickUp ? m_popupMenu.data() : nullptr);
}

void TTrayIcon::setHide(bool hide) {
    m_hide = hide;
    if (!m_visible || !windowMinimised())
        return;
    if (hide)
        hideWindowToTray();
    else
        showWindowAgain();
}

void TTrayIcon::setIcons(const QList<QIcon>& icons) {
    m_icons = icons;
    if (m_icons.isEmpty()) {
        m_animate = false;
        m_timer->stop();
    }
}

int TTrayIcon::AnimateInterval() const {
    return m_timer->interval();
}

void TTrayIcon::setAnimateInterval(int ms) {
    m_timer->setInterval(ms);
}

void TTrayIcon::setAnimate(bool animate) {
    if (m_icons.isEmpty())
        return;
    m_animate = animate;
    if (animate)
        m_timer->start();
    else
        m_timer->stop();
}

void TTrayIcon::loaded() {
    if (!m_icons.isEmpty()) {
        if (m_animate)
            m_timer->start();
        else
            m_timer->stop();
        if (m_iconIndex >= 0 && m_iconIndex < m_icons.size())
            m_icon = m_icons.at(m_iconIndex);
    } else {
        m_animate = false;
        m_icon = QApplication::windowIcon();
    }
    UpdateTrayIcon();
}

void TTrayIcon::UpdateTrayIcon() {
    m_tray->setIcon(m_icon);
}

void TTrayIcon::SetIconFromIndex(int index) {
    m_iconIndex = index;
    if (index >= 0 && index < m_icons.size())
        m_icon = m_icons.at(index);
    UpdateTrayIcon();
}

void TTrayIcon::NextAnimationFrame() {
    SetIconFromIndex(TrayDecisions::nextFrame(m_iconIndex, int(m_icons.size())));
}

void TTrayIcon::UseApplicationIcon() {
    m_icon = QApplication::windowIcon();
    UpdateTrayIcon();
}

void TTrayIcon::MinimizeToTray() {
    // A window going into the tray is only hidden: a minimise asked of the
    // window manager as well would be answered late, perhaps after the
    // window has been restored again.
    m_restored.invalidate();
    const bool intoTray = m_hide && m_visible && trayAvailable();
    if (m_window && !intoTray && !m_window->isMinimized() && !m_hiddenInTray)
        m_window->setWindowState(m_window->windowState() | Qt::WindowMinimized);
    if (m_hide)
        hideWindowToTray();
    if (OnMinimize)
        OnMinimize();
}

void TTrayIcon::RestoreFromTray() {
    m_hiddenInTray = false;
    m_restored.start();
    showWindowNormally();
    if (OnRestore)
        OnRestore();
}

void TTrayIcon::showWindowNormally() {
    if (!m_window)
        return;
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void TTrayIcon::ShowTrayMenu() {
    const QPoint at = QCursor::pos();
    if (QWidget* active = QApplication::activeWindow())
        active->activateWindow();
    // The desktop has opened the attached menu itself for this click.
    if (m_popupMenu && !m_nativeMenuShown)
        m_popupMenu->popup(at);
}

void TTrayIcon::TrayWndProc(TrayMouseMessage message) {
    runSteps(TrayDecisions::stepsFor(message, m_restoreOn, m_popupMenuOn, bool(OnClick)));
}

void TTrayIcon::runSteps(const QList<TrayStep>& steps) {
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    for (const TrayStep& step : steps) {
        switch (step.kind) {
        case TrayStep::Restore:
            RestoreFromTray();
            break;
        case TrayStep::Menu:
            ShowTrayMenu();
            break;
        case TrayStep::Click:
            if (OnClick)
                OnClick();
            break;
        case TrayStep::MouseDown:
            if (OnMouseDown)
                OnMouseDown(step.button, modifiers, QCursor::pos());
            break;
        case TrayStep::MouseUp:
            if (OnMouseUp)
                OnMouseUp(step.button, modifiers, QCursor::pos());
            break;
        case TrayStep::MouseMove:
            if (OnMouseMove)
                OnMouseMove(modifiers, QCursor::pos());
            break;
        }
    }
}

void TTrayIcon::activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        TrayWndProc(TrayMouseMessage::LButtonDown);
        TrayWndProc(TrayMouseMessage::LButtonUp);
        break;
    case QSystemTrayIcon::DoubleClick:
        // The second press of a double click: its release is a click too,
        // so two quick clicks put the window away and bring it back.
        TrayWndProc(TrayMouseMessage::LButtonDblClk);
        TrayWndProc(TrayMouseMessage::LButtonUp);
        break;
    case QSystemTrayIcon::Context:
        m_nativeMenuShown = m_tray->contextMenu() != nullptr;
        TrayWndProc(TrayMouseMessage::RButtonDown);
        TrayWndProc(TrayMouseMessage::RButtonUp);
        m_nativeMenuShown = false;
        break;
    case QSystemTrayIcon::MiddleClick:
        TrayWndProc(TrayMouseMessage::MButtonDown);
        TrayWndProc(TrayMouseMessage::MButtonUp);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::WindowStateChange && m_window &&
        m_window->isMinimized() && !m_hiddenInTray) {
        if (m_restored.isValid() && m_restored.elapsed() < lateReportMs) {
            // The window manager's late answer to a minimise from before the
            // restore: the operator asked for the window, so it stays.
            QTimer::singleShot(0, this, [this] {
                if (m_window && m_window->isMinimized() && !m_hiddenInTray)
                    showWindowNormally();
            });
            return QObject::eventFilter(watched, event);
        }
        // Minimised from its title bar: finish the move into the tray once
        // the window system is done with the minimise.
        QTimer::singleShot(0, this, [this] {
            if (m_window && m_window->isMinimized() && !m_hiddenInTray && m_visible)
                MinimizeToTray();
        });
    }
    return QObject::eventFilter(watched, event);
}
