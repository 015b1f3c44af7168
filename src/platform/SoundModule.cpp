#include "platform/SoundModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <dlfcn.h>

#ifndef VORN_BIN_TO_MODULES
#define VORN_BIN_TO_MODULES "../lib/vorn"
#endif

namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("SoundModule", text);
}
} // namespace

SoundModule::SoundModule(QStringList candidates) : m_candidates(std::move(candidates)) {}

QStringList SoundModule::defaultCandidates() {
    const QDir program(QCoreApplication::applicationDirPath());
    return {program.filePath(QLatin1String(fileName)),
            QDir::cleanPath(program.filePath(QLatin1String(VORN_BIN_TO_MODULES "/") +
                                             QLatin1String(fileName)))};
}

bool SoundModule::load() {
    std::call_once(m_once, [this] {
        m_loaded = tryLoad();
        if (!m_loaded)
            qWarning("vorn: %s", qUtf8Printable(m_error));
    });
    return m_loaded;
}

bool SoundModule::loaded() const {
    return m_loaded;
}

QString SoundModule::errorString() const {
    return m_error;
}

bool SoundModule::tryLoad() {
    QString path;
    for (const QString& candidate : std::as_const(m_candidates)) {
        // Only a regular file is opened: never a pipe or a device.
        if (QFileInfo(candidate).isFile()) {
            path = candidate;
            break;
        }
    }
    if (path.isEmpty()) {
        m_error = tr("找不到声音模块 %1（查找了：%2），广播将没有声音！")
                      .arg(QLatin1String(fileName), m_candidates.join(QStringLiteral("、")));
        return false;
    }
    // Every symbol is resolved now: a module of another build fails here, not
    // in the middle of a broadcast. It stays loaded until the program ends.
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        m_error = tr("声音模块 %1 无法加载（%2），广播将没有声音！")
                      .arg(path, QString::fromLocal8Bit(dlerror()));
        return false;
    }
    const auto entry =
        reinterpret_cast<SoundModuleEntry>(dlsym(handle, QT_STRINGIFY(VORN_SOUND_MODULE_ENTRY)));
    if (!entry) {
        m_error = tr("%1 不是本程序的声音模块（缺少 %2），广播将没有声音！")
                      .arg(path, QLatin1String(QT_STRINGIFY(VORN_SOUND_MODULE_ENTRY)));
        dlclose(handle);
        return false;
    }
    SoundModuleServices services;
    if (!entry(soundModuleInterface, sizeof(SoundModuleServices), &services) ||
        !services.mediaDevice) {
        m_error =
            tr("声音模块 %1 与本程序的版本不符，广播将没有声音！请重新安装本程序。").arg(path);
        return false;
    }
    m_services = std::move(services);
    return true;
}

UnavailableMediaDevice::UnavailableMediaDevice(QString why, QObject* parent)
    : MediaDevice(parent), m_why(std::move(why)) {}

bool UnavailableMediaDevice::open(const QString&) {
    m_failure = Failure::Output;
    return false;
}

bool UnavailableMediaDevice::setNext(const QString& fileName) {
    m_failure = Failure::Output;
    return fileName.isEmpty();
}
