#include "desk/CheckRunner.h"

#include <QThread>
#include <memory>

CheckRunner::CheckRunner(TDataModule1& dm, QObject* parent) : QObject(parent), m_dm(dm) {}

namespace {
// How long the end of the desk waits for a check still running.
constexpr int kEndWaitMs = 2000;
} // namespace

CheckRunner::~CheckRunner() {
    if (!m_thread)
        return;
    m_thread->disconnect(this);
    // The check uses the application (its texts, its file access), so it must
    // not run on while the program ends: it is waited for; it reads a few
    // files and is done in moments. One held up by a hung network folder is
    // let finish on its own and cleans up after itself.
    if (m_thread->wait(kEndWaitMs))
        delete m_thread;
}

void CheckRunner::check(const QDate& date) {
    if (m_running) {
        m_queued = date;
        return;
    }
    start(date);
}

void CheckRunner::start(const QDate& date) {
    PreAirCheck::Input input;
    try {
        input = PreAirCheck::gather(m_dm, date);
    } catch (const std::exception& e) {
        emit failed(date, QString::fromUtf8(e.what()));
        return;
    }
    m_running = true;
    auto result = std::make_shared<QList<PreAirCheck::Finding>>();
    m_thread = QThread::create([input, result] { *result = PreAirCheck::examine(input); });
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    connect(m_thread, &QThread::finished, this, [this, input, result] {
        m_thread = nullptr;
        m_running = false;
        emit finished(input, *result);
        if (m_queued.isValid()) {
            const QDate next = m_queued;
            m_queued = QDate();
            start(next);
        }
    });
    m_thread->start(QThread::LowPriority);
}
