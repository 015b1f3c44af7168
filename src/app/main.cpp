#include "app/CommandLine.h"
#include "app/DeskActivation.h"
#include "app/QtMessageService.h"
#include "app/QtTranslations.h"
#include "app/RealServices.h"
#include "app/Unit_main_vorn.h"
#include "app/VornApplication.h"
#include "base/Resources.h"
#include "base/Services.h"
#include "data/DatabaseFile.h"
#include "data/WindowPlace.h"
#include "data/datamodule.h"
#include "platform/SingleInstance.h"
#include "shell/DialogsInView.h"
#include "shell/StartupWarmUp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QIcon>
#include <QScopeGuard>
#include <QStyle>
#include <cstdio>

namespace {
int initDatabase(int argc, char** argv, const QString& path) {
    QCoreApplication app(argc, argv);
    QString error;
    if (!DatabaseFile::create(path, &error)) {
        std::fprintf(stderr, "vorn: cannot create %s: %s\n", qUtf8Printable(path),
                     qUtf8Printable(error));
        return 1;
    }
    std::printf("vorn: created %s\n", qUtf8Printable(path));
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (const int status = runCommandLine(argc, argv); status >= 0)
        return status;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--init-db") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "usage: vorn --init-db PATH\n");
                return 2;
            }
            return initDatabase(argc, argv, QString::fromLocal8Bit(argv[i + 1]));
        }
    }

    StartupWarmUp warmUp(TForm_main_vorn::fontsShown());
    VornApplication app(argc, argv);
    const auto finishWarmUp = qScopeGuard([&warmUp] { warmUp.finish(); });
    initVornResources();
    warmUp.applicationReady(TForm_main_vorn::imagesShown());
    installQtTranslations(app);
    QApplication::setApplicationName(QStringLiteral("vorn"));
    QApplication::setDesktopFileName(QStringLiteral("vorn"));
    QApplication::setQuitOnLastWindowClosed(false);
    DialogsInView dialogsInView;
    app.installEventFilter(&dialogsInView);

    QtMessageService messages;
    Services::setMessages(&messages);
    installRealServices();

    SingleInstance instance;
    DeskActivation activation;
    const QString programIcon = QStringLiteral(":/vorn/icon0.png");
    if (!instance.acquire()) {
        QApplication::setWindowIcon(StartupWarmUp::icon(programIcon));
        Services::messages().show(QObject::tr("该程序已经有一个在运行中！"), QObject::tr("提示"),
                                  MessageService::Icon::None);
        activation.askRunningDeskToShow();
        return 0;
    }
    activation.listen();

    QFont font = QApplication::font();
    StartupWarmUp::setPicked(font, TForm_main_vorn::textFont());
    QApplication::setFont(font);

    TDataModule1 dataModule;
    TForm_main_vorn mainWindow(dataModule);
    WindowPlace::remember(&mainWindow, TForm_main_vorn::defaultSize);
    QObject::connect(&activation, &DeskActivation::showRequested, &mainWindow,
                     &TForm_main_vorn::bringToFront);
    // The window is on screen before the day is read; the clock starts right
    // after (the database problem box, if any, then ends the program).
    QObject::connect(&mainWindow, &TForm_main_vorn::startFailed, &app,
                     [] { QCoreApplication::exit(1); });
    mainWindow.startOnceShown();
    // Wanted only now: its image is decoded on the start-up thread meanwhile.
    QApplication::setWindowIcon(StartupWarmUp::icon(programIcon));
    mainWindow.show();
    warmUp.windowShown(mainWindow);
    return app.exec();
}
