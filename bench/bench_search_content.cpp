// Phrase search over 1 GB of generated text (1,024 files of 1 MiB in 16
// folders) for the whole word "lantern", letter case ignored, against
// grep -F -i -l -w -r. About one file in eight holds the word (in mixed case,
// at a random place, some across block boundaries), as many hold it only
// inside longer words. Words are ASCII letters and digits, so both sides agree
// on what a word is. VORN_BENCH_ROUNDS sets the timed rounds (default 3),
// VORN_BENCH_MB the amount of text (default 1024).

#include "SearchBench.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {
int envInt(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

void makeText(const QString& root, int megabytes) {
    QRandomGenerator random(7);
    // A vocabulary without the phrase in it.
    QList<QByteArray> words;
    while (words.size() < 4000) {
        QByteArray w;
        const int length = 1 + random.bounded(11);
        for (int i = 0; i < length; ++i) {
            const int r = random.bounded(40);
            w += r < 26 ? char('a' + r) : r < 30 ? char('A' + r) : char('0' + r - 30);
        }
        if (!w.toLower().contains("lantern"))
            words << w;
    }
    const char* separators[] = {" ", " ", " ", " ", ", ", ". ", "\n", "; ", " - ", "(", ") "};
    const QList<QByteArray> whole{"lantern", "Lantern", "LANTERN", "lanTern"};
    const QList<QByteArray> inside{"lanterns", "xlantern", "lantern9", "Lanterna", "2LANTERN"};
    const int fileSize = 1 << 20;
    for (int f = 0; f < megabytes; ++f) {
        const QString folder = root + QStringLiteral("/part%1").arg(f % 16);
        QDir().mkpath(folder);
        QByteArray text;
        text.reserve(fileSize + 64);
        while (text.size() < fileSize) {
            text += words[random.bounded(int(words.size()))];
            text += separators[random.bounded(11)];
        }
        text.truncate(fileSize);
        const int kind = random.bounded(8); // 0: the word, 1: only inside words
        if (kind <= 1) {
            const QByteArray& w = kind == 0 ? whole[random.bounded(4)] : inside[random.bounded(5)];
            int at = random.bounded(fileSize - 16);
            if (random.bounded(4) == 0) // across the engine's 60 KiB blocks
                at = 61440 * (1 + random.bounded(16)) - random.bounded(int(w.size()));
            text.replace(at, w.size() + 2, ' ' + w + ' ');
            text.truncate(fileSize);
        }
        QFile file(folder + QStringLiteral("/text%1.txt").arg(f));
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
    }
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = envInt("VORN_BENCH_ROUNDS", 3);
    const int megabytes = envInt("VORN_BENCH_MB", 1024);
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/text");
    makeText(root, megabytes);
    std::printf("Phrase search: %d MiB of text in %d files under %s\n", megabytes, megabytes,
                qPrintable(root));

    TSearchCriteria criteria;
    criteria.Files.Location = root;
    criteria.Content.setPhrase(QByteArray("lantern"));
    criteria.Content.setIgnoreCase(true);
    criteria.Content.WholeWord = true;
    return bench::compare(
        "whole word \"lantern\", any letter case", QStringLiteral("grep"), rounds,
        [&] { return bench::runEngine(criteria); },
        [&] {
            return bench::runTool(QStringLiteral("grep"),
                                  {QStringLiteral("-F"), QStringLiteral("-i"), QStringLiteral("-l"),
                                   QStringLiteral("-w"), QStringLiteral("-r"),
                                   QStringLiteral("lantern"), root});
        });
}
