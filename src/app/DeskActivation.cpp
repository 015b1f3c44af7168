#include "app/DeskActivation.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr char kShow[] = "show\n";
constexpr int kClientMs = 5000; // a client that says nothing is dropped after this

std::optional<sockaddr_un> addressOf(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    if (native.isEmpty() || size_t(native.size()) >= sizeof(address.sun_path))
        return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    return address;
}

} // namespace

DeskActivation::DeskActivation(QString key, QObject* parent) : QObject(parent) {
    if (key.isEmpty())
        key = qEnvironmentVariable("VORN_INSTANCE_KEY", QStringLiteral("vorn"));
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    m_path = QDir(dir).filePath(key + QStringLiteral("-desk"));
}

DeskActivation::~DeskActivation() {
    if (m_listening >= 0) {
        delete m_notifier;
        ::close(m_listening);
        ::unlink(QFile::encodeName(m_path).constData());
    }
}

bool DeskActivation::listen() {
    if (m_listening >= 0)
        return true;
    const auto address = addressOf(m_path);
    if (!address)
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const QByteArray native = QFile::encodeName(m_path);
    ::unlink(native.constData()); // left by a desk that crashed
    // Only this user may ask: the mode is set before anyone can connect.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0 ||
        ::chmod(native.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    m_listening = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DeskActivation::acceptClients);
    return true;
}

void DeskActivation::acceptClients() {
    int client;
    while ((client = ::accept4(m_listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
        // Read without waiting: the desk's thread runs the schedule.
        auto* readable = new QSocketNotifier(client, QSocketNotifier::Read, this);
        auto* limit = new QTimer(readable);
        limit->setSingleShot(true);
        const auto done = [readable, client] {
            readable->setEnabled(false);
            readable->deleteLater();
            ::close(client);
        };
        connect(limit, &QTimer::timeout, readable, done);
        connect(readable, &QSocketNotifier::activated, readable, [this, client, done] {
            char buffer[64];
            const ssize_t n = ::read(client, buffer, sizeof(buffer));
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            if (n > 0 && QByteArray(buffer, int(n)).contains("show"))
                emit showRequested();
            done(); // answered by closing, as the asking side waits for
        });
        limit->start(kClientMs);
    }
}

bool DeskActivation::askRunningDeskToShow(int timeoutMs) const {
    // Runs in the second process, before it ends: waiting here holds up nobody.
    const auto address = addressOf(m_path);
    if (!address)
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    bool asked =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) == 0 &&
        ::send(fd, kShow, sizeof(kShow) - 1, MSG_NOSIGNAL) == ssize_t(sizeof(kShow) - 1);
    if (asked) {
        // The desk closes its end once it has read the request.
        char ignored;
        while (::read(fd, &ignored, 1) > 0) {
        }
    }
    ::close(fd);
    return asked;
}
