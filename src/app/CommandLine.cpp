#include "app/CommandLine.h"

#include "base/Services.h"
#include "data/AsRunLog.h"
#include "data/DatabaseFile.h"
#include "data/datamodule.h"
#include "desk/PreAirCheck.h"

#include <QCoreApplication>
#include <QDate>
#include <QStringList>
#include <cstdio>

namespace {
constexpr int kUnreadable = 2;

QDate parseDay(const QString& text) {
    return QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
}

int usage(const char* text) {
    std::fprintf(stderr, "%s\n", text);
    return kUnreadable;
}

bool openStore(TDataModule1& dm) {
    // The same database the desk opens, wherever the program is installed;
    // a tool that only reads never makes one.
    QString problem;
    const QString path = DatabaseFile::storePath(&problem, DatabaseFile::Missing::MakeNothing);
    if (path.isEmpty()) {
        std::fprintf(stderr, "vorn: cannot find the database: %s\n", qUtf8Printable(problem));
        return false;
    }
    if (dm.OpenDatabase(QStringLiteral("sqlite"), path))
        return true;
    std::fprintf(stderr, "vorn: cannot read the database %s: %s\n", qUtf8Printable(path),
                 qUtf8Printable(dm.lastError()));
    return false;
}

int check(const QStringList& args) {
    QDate day = Services::clock().now().date();
    if (!args.isEmpty()) {
        day = parseDay(args.first());
        if (!day.isValid())
            return usage("usage: vorn --check [YYYY-MM-DD]");
    }
    TDataModule1 dm;
    if (!openStore(dm))
        return kUnreadable;
    try {
        const PreAirCheck::Input input = PreAirCheck::gather(dm, day);
        const QList<PreAirCheck::Finding> findings = PreAirCheck::examine(input);
        std::printf("%s\n", qUtf8Printable(PreAirCheck::dayHeading(input)));
        for (const PreAirCheck::Finding& f : findings)
            std::printf("%s\n", qUtf8Printable(f.line()));
        if (findings.isEmpty())
            std::printf("%s\n",
                        qUtf8Printable(QCoreApplication::translate("vorn", "没有发现问题。")));
        return findings.isEmpty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorn: cannot read the database: %s\n", e.what());
        return kUnreadable;
    }
}

int exportLog(const QStringList& args) {
    const QDate from = args.size() == 2 ? parseDay(args[0]) : QDate();
    const QDate to = args.size() == 2 ? parseDay(args[1]) : QDate();
    if (!from.isValid() || !to.isValid())
        return usage("usage: vorn --export-log YYYY-MM-DD YYYY-MM-DD");
    TDataModule1 dm;
    if (!openStore(dm))
        return kUnreadable;
    try {
        AsRunLog log(dm);
        const QByteArray csv = AsRunLog::csv(log.rows(qMin(from, to), qMax(from, to)));
        std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorn: cannot read the log: %s\n", e.what());
        return kUnreadable;
    }
}
} // namespace

int runCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg != "--check" && arg != "--export-log")
            continue;
        QCoreApplication app(argc, argv);
        QStringList rest;
        for (int j = i + 1; j < argc; ++j)
            rest << QString::fromLocal8Bit(argv[j]);
        return arg == "--check" ? check(rest) : exportLog(rest);
    }
    return -1;
}
