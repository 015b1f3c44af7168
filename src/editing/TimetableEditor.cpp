#include "editing/TimetableEditor.h"

#include "base/MessageService.h"
#include "data/datamodule.h"

namespace {

const QString selectTimetable = QStringLiteral("select * from sjb where 时间表名称=? order by ");
} // namespace

TimetableEditor::TimetableEditor(TDataModule1& dm, QObject* parent)
    : QObject(parent), m_dm(dm), m_rows(dm.createQuery(this)), m_source(dm.createQuery(this)) {}

QStringList TimetableEditor::timetableNames() {
    QStringList names;
    m_dm.FillListFromQuery(*m_source, QStringLiteral("select name from sjbmc"), names);
    m_source->close();
    return names;
}

void TimetableEditor::load(Order order) {
    // The order column is one of ours; the timetable name is bound.
    const QString column =
        order == Order::Id ? QStringLiteral("ID") : QStringLiteral("开始时间, ID");
    m_dm.OpenQuery(*m_rows, selectTimetable + column, {m_timetable});
}

void TimetableEditor::reloadKeeping(const QString& id) {
    load(Order::StartTime);
    if (!id.isEmpty())
        m_rows->locate(QStringLiteral("ID"), id);
}

QString TimetableEditor::currentId() const {
    if (m_rows->isEmpty() || m_rows->eof())
        return {};
    return m_rows->text(QStringLiteral("ID"));
}

void TimetableEditor::deleteCurrent() {
    // Asked only when there is a row; the grid is reloaded either way.
    if (!m_rows->isEmpty() && !m_rows->eof() && msg::confirm(tr("确定要删除此行数据吗?")))
        m_dm.DeleteCurrentRow(*m_rows, *m_dm.qry_temp, QStringLiteral("sjb"));
    load(Order::StartTime);
}

TimetableEditor::ImportResult TimetableEditor::importFrom(const QString& source) {
    if (source.isEmpty())
        return ImportResult::NothingChosen;
    m_dm.OpenQuery(*m_source, selectTimetable + QStringLiteral("开始时间, ID"), {source});
    if (m_source->isEmpty()) {
        msg::error(tr("源时间表为空，不能导入!"));
        return ImportResult::SourceEmpty;
    }
    static const QString insert =
        QStringLiteral("insert into sjb(名称,开始时间,结束时间,歌曲列表或歌曲,时长,播放方式,"
                       "时间表名称) values(:v1,:v2,:v3,:v4,:v5,:v6,:v7)");
    static const QStringList columns = {
        QStringLiteral("名称"),           QStringLiteral("开始时间"), QStringLiteral("结束时间"),
        QStringLiteral("歌曲列表或歌曲"), QStringLiteral("时长"),     QStringLiteral("播放方式")};
    // The rows are all in memory, so copying a timetable into itself ends.
    for (m_source->first(); !m_source->eof(); m_source->next()) {
        // Each value goes straight into its own parameter: a ";" or a quote
        // inside a name or path is copied as it is.
        auto values = std::make_unique<QStringList>();
        for (const QString& c : columns) {
            const QVariant v = m_source->value(c);
            *values << (v.isNull() ? QString() : v.toString());
        }
        *values << m_timetable;
        bool ok = false;
        try {
            ok = m_dm.ExecWithParams(*m_dm.qry_temp, insert, std::move(values));
        } catch (const DbError&) {
            ok = false;
        }
        if (!ok) {
            msg::error(tr("导入失败!"));
            m_source->close();
            return ImportResult::Failed;
        }
    }
    m_source->close();
    load(Order::StartTime);
    return ImportResult::Done;
}
