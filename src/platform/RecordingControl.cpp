#include "platform/RecordingControl.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

bool PavucontrolRecordingControl::open(QString* error) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pavucontrol"));
    // The fourth tab of pavucontrol holds the input devices (microphones).
    if (!program.isEmpty() && QProcess::startDetached(program, {QStringLiteral("--tab=4")}))
        return true;
    if (error)
        *error = QCoreApplication::translate(
            "RecordingControl", "找不到系统录音控制程序。请安装 pavucontrol（PulseAudio "
                                "音量控制）：sudo apt install pavucontrol");
    return false;
}
