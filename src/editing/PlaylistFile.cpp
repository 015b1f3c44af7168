#include "editing/PlaylistFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString text(const char* source) {
    return QCoreApplication::translate("PlaylistFile", source);
}

[[noreturn]] void cannotOpen(const QString& path, const QString& reason) {
    throw PlaylistError(QStringLiteral("Cannot open file \"%1\". %2")
                            .arg(QDir::toNativeSeparators(path), reason)
                            .toStdString());
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why a path that is not a regular file cannot be a song list.
QString notARegularFile(mode_t mode) {
    if (S_ISDIR(mode))
        return text("这是一个文件夹，不是歌曲列表文件");
    if (S_ISFIFO(mode))
        return text("这是一个管道，不是歌曲列表文件");
    if (S_ISSOCK(mode))
        return text("这是一个套接字，不是歌曲列表文件");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return text("这是一个设备，不是歌曲列表文件");
    return text("不是普通文件");
}

QString tooBig() {
    return text("文件超过 %1 MB，不是歌曲列表文件").arg(kMaxPlaylistBytes / (1024 * 1024));
}

// The lines of the bytes by the line rules, each line still undecoded.
QList<QByteArray> splitLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    const qsizetype nul = bytes.indexOf('\0');
    const qsizetype end = nul < 0 ? bytes.size() : nul;
    qsizetype start = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        lines << bytes.mid(start, i - start);
        if (c == '\r' && i + 1 < end && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < end)
        lines << bytes.mid(start, end - start);
    return lines;
}
} // namespace

QString DecodePlaylistBytes(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (!utf8.hasError())
        return decoded;
    QStringDecoder gbk("GB18030");
    if (gbk.isValid())
        return gbk.decode(bytes);
    return QString::fromLocal8Bit(bytes);
}

QStringList ReadPlaylistFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    // Looked at before it is opened: opening a pipe waits for a writer, and a
    // device may never end.
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        cannotOpen(path, systemReason(errno));
    if (!S_ISREG(info.st_mode))
        cannotOpen(path, notARegularFile(info.st_mode));
    if (info.st_size > kMaxPlaylistBytes)
        cannotOpen(path, tooBig());

    // Opened without waiting, and looked at again: the path may have been
    // replaced in between.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        cannotOpen(path, systemReason(errno));
    QByteArray bytes;
    QString failure;
    if (::fstat(fd, &info) != 0) {
        failure = systemReason(errno);
    } else if (!S_ISREG(info.st_mode)) {
        failure = notARegularFile(info.st_mode);
    } else {
        // Never more than the limit, however much the file grows meanwhile.
        constexpr qsizetype block = 64 * 1024;
        while (bytes.size() <= kMaxPlaylistBytes) {
            const qsizetype old = bytes.size();
            bytes.resize(old + block);
            const ssize_t got = ::read(fd, bytes.data() + old, size_t(block));
            if (got < 0 && errno == EINTR) {
                bytes.resize(old);
                continue;
            }
            if (got < 0)
                failure = systemReason(errno);
            bytes.resize(old + qMax<ssize_t>(got, 0));
            if (got <= 0)
                break;
        }
        if (failure.isEmpty() && bytes.size() > kMaxPlaylistBytes)
            failure = tooBig();
    }
    ::close(fd);
    if (!failure.isEmpty())
        cannotOpen(path, failure);

    // Each line in its own encoding: lists edited on different systems mix
    // UTF-8 and GBK lines.
    QStringList entries;
    for (const QByteArray& line : splitLines(bytes))
        entries << DecodePlaylistBytes(line);
    return entries;
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
