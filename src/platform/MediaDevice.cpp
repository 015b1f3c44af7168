#include "platform/MediaDevice.h"

#include <QCoreApplication>
#include <QFileInfo>

bool MediaDevice::cue(const QString& fileName, int volume) {
    m_cued = fileName;
    m_cuedVolume = volume;
    return QFileInfo(fileName).isFile();
}

bool MediaDevice::playCued(bool notify) {
    const QString file = m_cued;
    m_cued.clear();
    if (file.isEmpty() || !open(file))
        return false;
    setVolume(m_cuedVolume);
    return play(notify);
}

bool MediaDevice::setNext(const QString& fileName) {
    m_next = fileName;
    return fileName.isEmpty() || QFileInfo(fileName).isFile();
}

QString mediaFailureReason(MediaDevice::Failure why) {
    const char* text = "无法播放";
    switch (why) {
    case MediaDevice::Failure::Missing:
        text = "歌曲文件不存在";
        break;
    case MediaDevice::Failure::Unreadable:
        text = "歌曲文件无法读取";
        break;
    case MediaDevice::Failure::Undecodable:
        text = "无法解码";
        break;
    case MediaDevice::Failure::Output:
        text = "声音输出设备出错";
        break;
    default:
        break;
    }
    return QCoreApplication::translate("MediaDevice", text);
}

QString mediaFailureText(MediaDevice::Failure why, const QString& fileName) {
    return mediaFailureReason(why) + QCoreApplication::translate("MediaDevice", "：") + fileName;
}
