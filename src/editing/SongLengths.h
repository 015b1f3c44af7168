#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class SongLengthProbe;

// The lengths of the songs a song-list window shows, asked for once per path
// and filled in as the probe answers. Without a probe nothing is measured.
class SongLengths : public QObject {
    Q_OBJECT
public:
    explicit SongLengths(QObject* parent = nullptr);
    ~SongLengths() override;

    bool measuring() const { return m_probe != nullptr; }
    // Asks for every path not asked for before.
    void want(const QStringList& paths);
    // The answer for a path (a length, or one of the probe's non-lengths);
    // nothing while it is still being measured or was never asked for.
    std::optional<qint64> answer(const QString& path) const;

    struct Total {
        qint64 ms = 0;   // sum of the lengths known
        int unknown = 0; // songs missing or unreadable
        int pending = 0; // songs still being measured
    };
    Total total(const QStringList& paths) const;

    // "3:25"; "文件不存在"; "无法读取"; "…" while measuring.
    static QString songText(std::optional<qint64> answer);
    // True for an answer the operator should look at (missing or unreadable).
    static bool isProblem(std::optional<qint64> answer);
    // "总时长：1:02:05", with what is not counted yet or at all.
    static QString totalText(const Total& total);

signals:
    // A path's answer arrived.
    void changed(const QString& path);

private:
    std::unique_ptr<SongLengthProbe> m_probe;
    QHash<QString, qint64> m_answers;
    QHash<QString, bool> m_asked;
};
