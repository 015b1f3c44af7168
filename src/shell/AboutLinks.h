#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// What the About box opens, decided without a window.
namespace AboutLinks {
inline constexpr const char* helpFileName = "help.html";

// Who the school calls for help: only what the school has set (a setting or
// a file beside the database); an empty field is not shown at all.
struct Contacts {
    QString phone;
    QString mail;
    QString web;
    bool isEmpty() const { return phone.isEmpty() && mail.isEmpty() && web.isEmpty(); }
};
// Reads "phone", "mail" and "web" of the [contact] group of an INI file
// (UTF-8); a missing file gives no contacts.
Contacts contactsFromFile(const QString& iniPath);

// The help page beside the program (absolute, whatever the current folder),
// or where the package installed it when there is none beside the program.
QString helpFilePath();
// The same for a program folder (or VORN_HOME) and the folder the program runs from.
QString helpFilePath(const QString& programDir, const QString& installedProgramDir);
QUrl helpUrl();
QUrl mailUrl(const QString& mail);
QUrl webUrl(const QString& web);

// Opens a URL with the desktop's program for it (mail, browser, viewer).
// Tests install their own opener so nothing is opened; null restores the real one.
using Opener = std::function<bool(const QUrl&)>;
void setOpener(Opener opener);
bool open(const QUrl& url);
} // namespace AboutLinks
