#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

// A song list file (".pl3"): one song path per line, in playing order.

class PlaylistError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The entries of the file. Lines end at CR LF, CR or LF; a final line break
// adds no entry; an empty line inside is an empty entry; a NUL ends the text.
// UTF-8, or GBK when the bytes are not valid UTF-8. Throws PlaylistError when
// the file cannot be read ("Cannot open file \"<path>\". <reason>").
QStringList ReadPlaylistFile(const QString& path);

// Every entry followed by CR LF, UTF-8. Written to a temporary file and renamed
// over the target, so a failed save leaves the old file whole. Throws
// PlaylistError("Cannot create file \"<path>\". <reason>") when it cannot be written.
void WritePlaylistFile(const QString& path, const QStringList& entries);

// Splits text into entries by the rules above (exposed for tests).
QStringList SplitPlaylistText(const QString& text);
// Decodes file bytes: UTF-8 when valid, else GBK.
QString DecodePlaylistBytes(const QByteArray& bytes);
