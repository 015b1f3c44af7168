#pragma once

#include <QSize>
#include <QString>

class QWidget;

// Where each window was and how large, kept between runs in the database's
// own settings (one row per window, named after the window's objectName).
namespace WindowPlace {
// Puts the window where it was last closed (moved onto a screen if that
// screen is gone), or at defaultSize centred on the screen the first time,
// and saves its place each time it is closed or hidden. Without an open
// database the window simply opens at its default place.
void remember(QWidget* window, QSize defaultSize);

// The setting that holds a window's place.
QString settingName(const QWidget* window);
// Centres a window on the screen it is on (or the primary screen), keeping
// it inside the screen's free area.
void centre(QWidget* window);
} // namespace WindowPlace
