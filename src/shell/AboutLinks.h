#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// What the About box opens, decided without a window.
namespace AboutLinks {
inline constexpr const char* supportMail = "vorn-support@example.org";
inline constexpr const char* supportWeb = "https://vorn.example.org/";
inline constexpr const char* helpFileName = "help.html";

// The help page beside the program (absolute, whatever the current folder),
// or where the package installed it when there is none beside the program.
QString helpFilePath();
// The same for a program folder (or VORN_HOME) and the folder the program runs from.
QString helpFilePath(const QString& programDir, const QString& installedProgramDir);
QUrl helpUrl();
QUrl mailUrl();
QUrl webUrl();

// Opens a URL with the desktop's program for it (mail, browser, viewer).
// Tests install their own opener so nothing is opened; null restores the real one.
using Opener = std::function<bool(const QUrl&)>;
void setOpener(Opener opener);
bool open(const QUrl& url);
} // namespace AboutLinks
