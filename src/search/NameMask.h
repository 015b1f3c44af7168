#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A file-name mask of a search ("*.mp3", "*歌*", "song??.wma"): "*" stands for
// any run of characters, "?" for exactly one, everything else must match
// without regard to letter case. "*.*" and "*" match every name, also names
// without a dot. Names are matched as the file system hands them over (UTF-8
// bytes); ASCII names take a fast path.
class NameMask {
public:
    explicit NameMask(const QString& mask);

    bool matches(const char* name, qsizetype length) const;
    bool matches(const QString& name) const;

private:
    bool m_everything = false;
    bool m_ascii = true;
    QByteArray m_bytes;  // the mask, ASCII letters lower-cased (ASCII masks)
    QList<uint> m_chars; // the mask, case-folded (every mask)
};
