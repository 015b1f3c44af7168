#include "support/TestDatabase.h"

#include "base/Services.h"
#include "shell/About.h"
#include "shell/AboutLinks.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// Records what would be opened instead of opening it.
struct RecordingOpener {
    QList<QUrl> opened;
    RecordingOpener() {
        AboutLinks::setOpener([this](const QUrl& url) {
            opened << url;
            return true;
        });
    }
    ~RecordingOpener() { AboutLinks::setOpener(nullptr); }
};

// Runs the test from another current folder and returns to the old one.
struct OtherCurrentDir {
    QTemporaryDir elsewhere;
    QString saved = QDir::currentPath();
    OtherCurrentDir() { QDir::setCurrent(elsewhere.path()); }
    ~OtherCurrentDir() { QDir::setCurrent(saved); }
};

QColor textColor(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

void moveOver(QWidget* w) {
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), w->mapToGlobal(QPointF(3, 3)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
}

void leave(QWidget* w) {
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(w, &e);
}

void click(QWidget* w) {
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, QPointF(3, 3), w->mapToGlobal(QPointF(3, 3)), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }
}
} // namespace

TEST(About, HelpOpensFromTheProgramFolderWhateverTheCurrentFolder) {
    TestDatabase db; // makes its folder the program folder
    RecordingOpener opener;
    OtherCurrentDir cwd;
    TAboutFrm about;
    about.Button2->click();
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened[0], QUrl::fromLocalFile(db.dir() + QStringLiteral("/help.html")));
}

TEST(About, HelpPathWithoutOverrideIsBesideTheExecutable) {
    Services::setProgramDir(QString());
    OtherCurrentDir cwd;
    if (!qEnvironmentVariableIsEmpty("VORN_HOME"))
        GTEST_SKIP() << "VORN_HOME overrides the program folder";
    EXPECT_EQ(AboutLinks::helpFilePath(),
              QCoreApplication::applicationDirPath() + QStringLiteral("/help.html"));
    EXPECT_TRUE(QDir::isAbsolutePath(AboutLinks::helpFilePath()));
}

TEST(About, InstalledProgramFindsTheHelpWhereThePackagePutIt) {
    QTemporaryDir root;
    const QString bin = root.filePath("usr/bin");
    const QString share = root.filePath("usr/share/vorn");
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(share));
    QFile help(share + "/help.html");
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    EXPECT_EQ(AboutLinks::helpFilePath(bin, bin), share + "/help.html");
    // VORN_HOME's own help, when it has one, comes first.
    QTemporaryDir home;
    EXPECT_EQ(AboutLinks::helpFilePath(home.path(), bin), share + "/help.html");
    QFile own(home.filePath("help.html"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.close();
    EXPECT_EQ(AboutLinks::helpFilePath(home.path(), bin), home.filePath("help.html"));
}

TEST(About, LinksTurnDarkRedOnHoverAndOpenMailAndBrowser) {
    RecordingOpener opener;
    TAboutFrm about({QStringLiteral("0571-8888 1234"), QStringLiteral("gb@school.edu.cn"),
                     QStringLiteral("https://school.edu.cn/gb")});
    EXPECT_EQ(textColor(about.Label7), QColor(0, 0, 0));
    moveOver(about.Label7);
    EXPECT_EQ(textColor(about.Label7), QColor(128, 0, 0));
    // From one link to the other: the first turns black, the second dark red.
    leave(about.Label7);
    moveOver(about.lbl1);
    EXPECT_EQ(textColor(about.Label7), QColor(0, 0, 0));
    EXPECT_EQ(textColor(about.lbl1), QColor(128, 0, 0));
    leave(about.lbl1);
    EXPECT_EQ(textColor(about.lbl1), QColor(0, 0, 0));

    click(about.Label7);
    click(about.lbl1);
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(opener.opened[0].path(), about.Label7->text());
    EXPECT_EQ(opener.opened[1], QUrl(about.lbl1->text()));
}

TEST(About, ShowsNoMadeUpContactsOnlyThoseTheSchoolSet) {
    TAboutFrm bare;
    for (QLabel* l : {bare.Label5, bare.Label6, bare.Label7, bare.lbl1})
        EXPECT_TRUE(l->isHidden()) << l->objectName().toStdString();
    for (QLabel* l : bare.findChildren<QLabel*>()) {
        EXPECT_FALSE(l->text().contains(QStringLiteral("example")));
        EXPECT_FALSE(l->text().contains(QStringLiteral("0000")));
    }

    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("contact.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[contact]\nphone = 0571-8888 1234\n");
    ini.close();
    const AboutLinks::Contacts c = AboutLinks::contactsFromFile(ini.fileName());
    TAboutFrm phoneOnly(c);
    EXPECT_FALSE(phoneOnly.Label5->isHidden());
    EXPECT_EQ(phoneOnly.Label6->text(), QStringLiteral("0571-8888 1234"));
    EXPECT_TRUE(phoneOnly.Label7->isHidden());
    EXPECT_TRUE(phoneOnly.lbl1->isHidden());
    EXPECT_TRUE(AboutLinks::contactsFromFile(dir.filePath(QStringLiteral("none.ini"))).isEmpty());
}

TEST(About, ShowsVersionAndOurPicture) {
    TAboutFrm about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("关于"));
    EXPECT_GE(about.width(), 369);
    EXPECT_EQ(about.Label2->text(), QStringLiteral("版    本：  V2.3"));
    EXPECT_EQ(about.Button2->text(), QStringLiteral("帮助"));
    // Decoded by the JPEG image plugin.
    EXPECT_FALSE(about.Image1->pixmap().isNull());
}
