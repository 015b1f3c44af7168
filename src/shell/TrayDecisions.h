#pragma once

#include <QList>
#include <QString>

// The decisions of the notification-area icon, free of any window.

// Mouse action that restores the application or opens the menu.
enum TTrayIconMessage {
    imClick,
    imDoubleClick,
    imMouseDown,
    imMouseUp,
    imLeftClickUp,
    imLeftDoubleClick,
    imRightClickUp,
    imRightDoubleClick,
    imNone
};

// A mouse message on the icon.
enum class TrayMouseMessage {
    MouseMove,
    LButtonDown,
    LButtonUp,
    LButtonDblClk,
    RButtonDown,
    RButtonUp,
    RButtonDblClk,
    MButtonDown,
    MButtonUp,
    MButtonDblClk
};

enum class TrayButton { Left, Right, Middle };

// One thing the icon does for a mouse message, in the order given.
struct TrayStep {
    enum Kind {
        Restore,   // RestoreFromTray
        Menu,      // ShowTrayMenu
        Click,     // the OnClick event
        MouseDown, // the OnMouseDown event
        MouseUp,   // the OnMouseUp event
        MouseMove  // the OnMouseMove event
    };
    Kind kind;
    TrayButton button = TrayButton::Left; // for MouseDown / MouseUp

    bool operator==(const TrayStep&) const = default;
};

namespace TrayDecisions {
// The steps for a message. In every group the restore test comes before the
// menu test and both before the event. A left-button release goes through the
// click step only when an OnClick handler is set; a double click of any
// button counts for imDoubleClick.
QList<TrayStep> stepsFor(TrayMouseMessage message, TTrayIconMessage restoreOn,
                         TTrayIconMessage popupMenuOn, bool hasOnClick);

// The animation step: the next image, after the last the first.
int nextFrame(int index, int count);
} // namespace TrayDecisions
