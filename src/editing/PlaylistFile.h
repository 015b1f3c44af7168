#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

// A song list file (".pl3"): one song path per line, in playing order.

class PlaylistError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Song lists larger than this are refused rather than read whole.
inline constexpr qint64 kMaxPlaylistBytes = 16 * 1024 * 1024;

// The entries of the file. Lines end at CR LF, CR or LF; a final line break
// adds no entry; an empty line inside is an empty entry; a NUL ends the text.
// Each line is UTF-8 where it is valid UTF-8, else GBK. Only a regular file
// of at most kMaxPlaylistBytes is read, and nothing waits on the path (a pipe,
// a device or a folder is refused at once). Throws PlaylistError when the file
// cannot be read ("Cannot open file \"<path>\". <reason>").
QStringList ReadPlaylistFile(const QString& path);

// Every entry followed by CR LF, UTF-8. Written to a temporary file and renamed
// over the target, so a failed save leaves the old file whole. Throws
// PlaylistError("Cannot create file \"<path>\". <reason>") when it cannot be written.
void WritePlaylistFile(const QString& path, const QStringList& entries);

// Decodes one line: UTF-8 when valid, else GBK.
QString DecodePlaylistBytes(const QByteArray& bytes);
