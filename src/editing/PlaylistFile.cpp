#include "editing/PlaylistFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

QString DecodePlaylistBytes(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GB18030");
    if (gbk.isValid())
        return gbk.decode(bytes);
    return QString::fromLocal8Bit(bytes);
}

QStringList SplitPlaylistText(const QString& text) {
    QStringList entries;
    const qsizetype end = [&] {
        const qsizetype nul = text.indexOf(QChar(0));
        return nul < 0 ? text.size() : nul;
    }();
    QString line;
    bool pending = false; // characters since the last line break
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            entries << line;
            line.clear();
            pending = false;
            if (c == QLatin1Char('\r') && i + 1 < end && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            line += c;
            pending = true;
        }
    }
    if (pending)
        entries << line;
    return entries;
}

QStringList ReadPlaylistFile(const QString& path) {
    QFile f(path);
    auto fail = [&] {
        throw PlaylistError(QStringLiteral("Cannot open file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(path), f.errorString())
                                .toStdString());
    };
    // A folder opens as a file on Linux but cannot be read as one.
    if (QFileInfo(path).isDir()) {
        throw PlaylistError(
            QStringLiteral("Cannot open file \"%1\". %2")
                .arg(QDir::toNativeSeparators(path), QStringLiteral("Is a directory"))
                .toStdString());
    }
    if (!f.open(QIODevice::ReadOnly))
        fail();
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        fail();
    // The NUL rule applies to the bytes, before decoding.
    const qsizetype nul = bytes.indexOf('\0');
    return SplitPlaylistText(DecodePlaylistBytes(nul < 0 ? bytes : bytes.left(nul)));
}

void WritePlaylistFile(const QString& path, const QStringList& entries) {
    QSaveFile f(path);
    auto fail = [&] {
        throw PlaylistError(QStringLiteral("Cannot create file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(path), f.errorString())
                                .toStdString());
    };
    if (!f.open(QIODevice::WriteOnly))
        fail();
    QByteArray bytes;
    for (const QString& e : entries) {
        bytes += e.toUtf8();
        bytes += "\r\n";
    }
    if (f.write(bytes) != bytes.size())
        fail();
    if (!f.commit())
        fail();
}
