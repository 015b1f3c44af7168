#include "shell/TrayDecisions.h"

namespace TrayDecisions {
namespace {
void tests(QList<TrayStep>& steps, TTrayIconMessage on, TTrayIconMessage restoreOn,
           TTrayIconMessage popupMenuOn) {
    if (restoreOn == on)
        steps.append(TrayStep{TrayStep::Restore});
    if (popupMenuOn == on)
        steps.append(TrayStep{TrayStep::Menu});
}

void mouseDown(QList<TrayStep>& steps, TrayButton button, TTrayIconMessage restoreOn,
               TTrayIconMessage popupMenuOn) {
    tests(steps, imMouseDown, restoreOn, popupMenuOn);
    steps.append(TrayStep{TrayStep::MouseDown, button});
}

void mouseUp(QList<TrayStep>& steps, TrayButton button, TTrayIconMessage restoreOn,
             TTrayIconMessage popupMenuOn) {
    tests(steps, imMouseUp, restoreOn, popupMenuOn);
    steps.append(TrayStep{TrayStep::MouseUp, button});
}
} // namespace

QList<TrayStep> stepsFor(TrayMouseMessage message, TTrayIconMessage restoreOn,
                         TTrayIconMessage popupMenuOn, bool hasOnClick) {
    QList<TrayStep> steps;
    switch (message) {
    case TrayMouseMessage::MouseMove:
        steps.append(TrayStep{TrayStep::MouseMove});
        break;
    case TrayMouseMessage::LButtonDown:
        mouseDown(steps, TrayButton::Left, restoreOn, popupMenuOn);
        break;
    case TrayMouseMessage::LButtonUp:
        if (hasOnClick) {
            tests(steps, imClick, restoreOn, popupMenuOn);
            steps.append(TrayStep{TrayStep::Click});
        }
        mouseUp(steps, TrayButton::Left, restoreOn, popupMenuOn);
        tests(steps, imLeftClickUp, restoreOn, popupMenuOn);
        break;
    case TrayMouseMessage::LButtonDblClk:
        tests(steps, imDoubleClick, restoreOn, popupMenuOn);
        tests(steps, imLeftDoubleClick, restoreOn, popupMenuOn);
        break;
    case TrayMouseMessage::RButtonDown:
        mouseDown(steps, TrayButton::Right, restoreOn, popupMenuOn);
        break;
    case TrayMouseMessage::RButtonUp:
        mouseUp(steps, TrayButton::Right, restoreOn, popupMenuOn);
        tests(steps, imRightClickUp, restoreOn, popupMenuOn);
        break;
    case TrayMouseMessage::RButtonDblClk:
        tests(steps, imDoubleClick, restoreOn, popupMenuOn);
        tests(steps, imRightDoubleClick, restoreOn, popupMenuOn);
        break;
    case TrayMouseMessage::MButtonDown:
        mouseDown(steps, TrayButton::Middle, restoreOn, popupMenuOn);
        break;
    case TrayMouseMessage::MButtonUp:
        mouseUp(steps, TrayButton::Middle, restoreOn, popupMenuOn);
        break;
    case TrayMouseMessage::MButtonDblClk:
        tests(steps, imDoubleClick, restoreOn, popupMenuOn);
        break;
    }
    return steps;
}

int nextFrame(int index, int count) {
    return index < count - 1 ? index + 1 : 0;
}
} // namespace TrayDecisions
