#pragma once

// Shared pieces of the two file search benchmarks: running the engine the way
// the song search window does (threaded), running a GNU tool on the same
// tree, and the report.

#include "search/FindFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutex>
#include <QProcess>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

struct Run {
    double seconds = 0;
    QSet<QString> paths;
};

// One threaded search with the given criteria; the found paths are collected
// under the engine's lock as the window collects its rows.
inline Run runEngine(const TSearchCriteria& criteria) {
    TFindFile engine;
    engine.setThreaded(true);
    engine.setCriteria(criteria);
    QMutex mutex;
    QStringList found;
    engine.OnFileMatch = [&](TFindFile*, const QString& folder, const FoundFileRecord& r) {
        QMutexLocker lock(&mutex);
        found << folder + r.EntryName;
    };
    QEventLoop loop;
    engine.OnSearchFinish = [&](TFindFile*) { loop.quit(); };
    QElapsedTimer timer;
    timer.start();
    engine.StartSearch();
    loop.exec();
    Run run;
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.paths = QSet<QString>(found.begin(), found.end());
    return run;
}

// A GNU tool in the C locale; each output line is one path.
inline Run runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    Run run;
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    const QStringList lines =
        QString::fromLocal8Bit(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    run.paths = QSet<QString>(lines.begin(), lines.end());
    return run;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs both sides once to warm the caches, then `rounds` times alternately,
// and prints the medians, the ratio and whether the result sets are equal.
// Returns 0 when the engine met the target (ratio <= 1, equal sets).
inline int compare(const char* title, const QString& toolName, int rounds,
                   const std::function<Run()>& engine, const std::function<Run()>& tool) {
    engine();
    tool();
    std::vector<double> engineTimes;
    std::vector<double> toolTimes;
    Run engineRun;
    Run toolRun;
    for (int i = 0; i < rounds; ++i) {
        engineRun = engine();
        toolRun = tool();
        engineTimes.push_back(engineRun.seconds);
        toolTimes.push_back(toolRun.seconds);
    }
    const double ours = median(engineTimes);
    const double theirs = median(toolTimes);
    const double ratio = ours / theirs;
    const bool equal = engineRun.paths == toolRun.paths;
    std::printf("%s\n", title);
    std::printf("  engine      %8.3f s (median of %d), %lld files\n", ours, rounds,
                static_cast<long long>(engineRun.paths.size()));
    std::printf("  %-11s %8.3f s (median of %d), %lld files\n", qPrintable(toolName), theirs,
                rounds, static_cast<long long>(toolRun.paths.size()));
    std::printf("  ratio       %8.3f (target <= 1.0): %s\n", ratio,
                ratio <= 1.0 ? "met" : "MISSED");
    std::printf("  result sets %s\n", equal ? "equal" : "DIFFER");
    if (!equal) {
        const QSet<QString> onlyOurs = engineRun.paths - toolRun.paths;
        const QSet<QString> onlyTheirs = toolRun.paths - engineRun.paths;
        for (const QString& p : onlyOurs)
            std::printf("    only the engine: %s\n", qPrintable(p));
        for (const QString& p : onlyTheirs)
            std::printf("    only %s: %s\n", qPrintable(toolName), qPrintable(p));
    }
    std::fflush(stdout);
    return ratio <= 1.0 && equal ? 0 : 1;
}

} // namespace bench
