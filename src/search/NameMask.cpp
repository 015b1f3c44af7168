#include "search/NameMask.h"

#include <QChar>

namespace {
inline uchar lowerAscii(uchar c) {
    return (c >= 'A' && c <= 'Z') ? uchar(c + 32) : c;
}

// Glob matching with "*" and "?" over any sequence of comparable units; the
// last "*" seen is where a mismatch resumes, which keeps it linear in practice.
template <typename Unit, typename Fold>
bool globMatch(const Unit* name, qsizetype nameLength, const Unit* mask, qsizetype maskLength,
               Fold fold) {
    qsizetype n = 0;
    qsizetype m = 0;
    qsizetype starMask = -1;
    qsizetype starName = 0;
    while (n < nameLength) {
        if (m < maskLength && mask[m] == Unit('*')) {
            starMask = m++;
            starName = n;
        } else if (m < maskLength && (mask[m] == Unit('?') || mask[m] == fold(name[n]))) {
            ++m;
            ++n;
        } else if (starMask >= 0) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < maskLength && mask[m] == Unit('*'))
        ++m;
    return m == maskLength;
}

QList<uint> folded(const QString& text) {
    QList<uint> result = text.toUcs4();
    for (uint& c : result)
        c = QChar::toCaseFolded(c);
    return result;
}
} // namespace

NameMask::NameMask(const QString& mask) {
    m_everything = mask == QLatin1String("*.*") || mask == QLatin1String("*");
    m_chars = folded(mask);
    for (QChar c : mask)
        if (c.unicode() >= 0x80)
            m_ascii = false;
    if (m_ascii) {
        m_bytes = mask.toLatin1();
        for (char& c : m_bytes)
            c = char(lowerAscii(uchar(c)));
    }
}

bool NameMask::matches(const char* name, qsizetype length) const {
    if (m_everything)
        return true;
    if (m_ascii) {
        bool asciiName = true;
        for (qsizetype i = 0; i < length && asciiName; ++i)
            asciiName = uchar(name[i]) < 0x80;
        if (asciiName)
            return globMatch(reinterpret_cast<const uchar*>(name), length,
                             reinterpret_cast<const uchar*>(m_bytes.constData()), m_bytes.size(),
                             lowerAscii);
    }
    return matches(QString::fromUtf8(name, length));
}

bool NameMask::matches(const QString& name) const {
    if (m_everything)
        return true;
    const QList<uint> text = folded(name);
    return globMatch(text.constData(), text.size(), m_chars.constData(), m_chars.size(),
                     [](uint c) { return c; });
}
