// Name search over a generated tree of 100,000 files in 5,000 folders for
// "*ab*.mp3;*ab*.wma", against GNU find with -iname and the same masks.
// VORN_BENCH_ROUNDS sets the number of timed rounds (default 5).

#include "SearchBench.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <fcntl.h>
#include <unistd.h>

namespace {
// 50 folders of 99 subfolders (with the 50: 5,000 folders), 20 files in each
// of the 5,000. Names mix letter case; about one in eight contains "ab".
int makeTree(const QString& root) {
    QRandomGenerator random(20240611);
    const char* extensions[] = {".mp3", ".MP3", ".wma", ".Wma", ".wav", ".txt", ".flac", ""};
    auto word = [&](int length) {
        QByteArray w;
        for (int i = 0; i < length; ++i) {
            const char c = char('a' + random.bounded(26));
            w += random.bounded(4) == 0 ? char(c - 32) : c;
        }
        return w;
    };
    int files = 0;
    for (int top = 0; top < 50; ++top) {
        for (int sub = -1; sub < 99; ++sub) {
            QByteArray folder = QFile::encodeName(root) + "/d" + QByteArray::number(top);
            if (sub >= 0)
                folder += "/e" + QByteArray::number(sub);
            QDir().mkpath(QFile::decodeName(folder));
            for (int f = 0; f < 20; ++f) {
                QByteArray name = word(3 + random.bounded(10));
                if (random.bounded(8) == 0)
                    name.insert(random.bounded(name.size() + 1), random.bounded(2) ? "ab" : "aB");
                name += extensions[random.bounded(8)];
                const QByteArray path = folder + '/' + name;
                const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd >= 0) {
                    ::close(fd);
                    ++files;
                }
            }
        }
    }
    return files;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool ok = false;
    int rounds = qEnvironmentVariableIntValue("VORN_BENCH_ROUNDS", &ok);
    if (!ok || rounds < 1)
        rounds = 5;
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/tree");
    const int files = makeTree(root);
    std::printf("Name search: %d files in 5000 folders under %s\n", files, qPrintable(root));

    TSearchCriteria criteria;
    criteria.Files.Location = root;
    criteria.Files.FileName = QStringLiteral("*ab*.mp3;*ab*.wma");
    return bench::compare(
        "*ab*.mp3;*ab*.wma", QStringLiteral("find"), rounds,
        [&] { return bench::runEngine(criteria); },
        [&] {
            return bench::runTool(QStringLiteral("find"),
                                  {root, QStringLiteral("("), QStringLiteral("-iname"),
                                   QStringLiteral("*ab*.mp3"), QStringLiteral("-o"),
                                   QStringLiteral("-iname"), QStringLiteral("*ab*.wma"),
                                   QStringLiteral(")")});
        });
}
