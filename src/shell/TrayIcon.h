#pragma once

#include "shell/TrayDecisions.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>

class QTimer;
class QWidget;

// The program's icon in the desktop's notification area: a tooltip, a menu,
// restoring the window from mouse actions, hiding the window's taskbar entry
// while it is minimised, and an animation over a list of icons.
//
// When the desktop has no notification area the component still works as far
// as it can, but never hides the window: minimising then leaves a normal
// taskbar entry, so the window cannot be lost.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    using MouseHandler = std::function<void(TrayButton, Qt::KeyboardModifiers, QPoint)>;
    using MoveHandler = std::function<void(Qt::KeyboardModifiers, QPoint)>;

    // window: the application window the icon stands for (restored, minimised, hidden).
    explicit TTrayIcon(QWidget* window, QObject* parent = nullptr);
    ~TTrayIcon() override;

    // Properties.
    bool Visible() const { return m_visible; }
    void setVisible(bool visible);
    QString Hint() const { return m_hint; }
    void setHint(const QString& hint);
    QMenu* PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu* menu);
    bool Hide() const { return m_hide; }
    void setHide(bool hide);
    TTrayIconMessage RestoreOn() const { return m_restoreOn; }
    void setRestoreOn(TTrayIconMessage on) { m_restoreOn = on; }
    TTrayIconMessage PopupMenuOn() const { return m_popupMenuOn; }
    void setPopupMenuOn(TTrayIconMessage on);
    // The icon list; an empty list means none is set.
    QList<QIcon> Icons() const { return m_icons; }
    void setIcons(const QList<QIcon>& icons);
    int IconIndex() const { return m_iconIndex; }
    void setIconIndex(int index) { SetIconFromIndex(index); }
    int AnimateInterval() const;
    void setAnimateInterval(int ms);
    bool Animate() const { return m_animate; }
    void setAnimate(bool animate);

    // Events (unset by default).
    std::function<void()> OnMinimize;
    std::function<void()> OnRestore;
    std::function<void()> OnClick;
    MoveHandler OnMouseMove;
    MouseHandler OnMouseUp;
    MouseHandler OnMouseDown;

    // After the owner has set the properties: with an icon list the animation
    // runs as Animate says and image IconIndex is shown, else Animate is off
    // and the application's icon is shown.
    void loaded();

    // A mouse message on the icon: the steps of the message table.
    virtual void TrayWndProc(TrayMouseMessage message);
    virtual void NextAnimationFrame();
    virtual void MinimizeToTray();
    virtual void RestoreFromTray();
    virtual void UpdateTrayIcon();
    virtual void ShowTrayMenu();
    virtual void SetIconFromIndex(int index);
    virtual void UseApplicationIcon();

    // Whether the desktop shows notification-area icons. Only while it does
    // may the window's taskbar entry be hidden.
    virtual bool trayAvailable() const;

    // The icon shown now, and the underlying desktop icon.
    QIcon currentIcon() const { return m_icon; }
    QSystemTrayIcon* systemTrayIcon() const { return m_tray; }
    QTimer* animationTimer() const { return m_timer; }
    // While Visible: looks now and then whether the notification area has come
    // (a panel starting after the program) or gone (then a window hidden in
    // it is given back its taskbar entry).
    QTimer* trayWatchTimer() const { return m_trayWatch; }
    // True while the window is hidden because it was minimised to the tray.
    bool windowHiddenInTray() const { return m_hiddenInTray; }
    // A "minimised" report this soon after a restore is taken as the window
    // manager's late answer to an earlier minimise, and does not hide the
    // window again.
    static constexpr int lateReportMs = 500;

protected:
    // The minimise hook: the window's own handling always goes on.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void runSteps(const QList<TrayStep>& steps);
    void hideWindowToTray();
    void showWindowAgain();
    void showWindowNormally();
    void attachNativeMenu();
    void watchTray();
    bool windowMinimised() const;

    QPointer<QWidget> m_window;
    QSystemTrayIcon* m_tray;
    QTimer* m_timer;
    QTimer* m_trayWatch;
    QIcon m_icon;
    QList<QIcon> m_icons;
    QPointer<QMenu> m_popupMenu;
    QString m_hint;
    QElapsedTimer m_restored; // since the last RestoreFromTray
    bool m_visible = false;
    bool m_hide = true;
    bool m_animate = false;
    bool m_hookInstalled = false;
    bool m_hiddenInTray = false;
    bool m_nativeMenuShown = false;
    TTrayIconMessage m_restoreOn = imDoubleClick;
    TTrayIconMessage m_popupMenuOn = imNone;
    int m_iconIndex = 0;
};
