#include "editing/Unit_sjbp_edit.h"

#include "base/MessageService.h"
#include "data/datamodule.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QTimeEdit>

TForm_sjbp_edit::TForm_sjbp_edit(TQuery& rows, QWidget* owner)
    : EntryDialogBase(owner), m_rows(rows) {
    setObjectName(QStringLiteral("Form_sjbp_edit"));
    setWindowTitle(tr("修改时间表内容"));
    resize(508, 345);
}

void TForm_sjbp_edit::showEvent(QShowEvent* event) {
    EntryDialogBase::showEvent(event);
    if (!m_loaded)
        FormActivate();
}

void TForm_sjbp_edit::FormActivate() {
    m_loaded = true;
    try {
        m_id = m_rows.text(QStringLiteral("ID"));
        const TimetableEntry e = TimetableEntries::entryFromRow(m_rows);
        Edit1->setText(e.name);
        const QTime start = TimetableEntries::parseTime(e.start);
        const QTime end = TimetableEntries::parseTime(e.end);
        for (const QString& t : {e.start, e.end})
            if (!TimetableEntries::parseTime(t).isValid())
                throw DbError(tr("'%1' is not a valid time").arg(t).toStdString());
        setTimesQuietly(start, end);
        Edit8->setText(e.path);
        Label_longer->setText(e.duration);
        ComboBox1->setCurrentText(e.mode);
    } catch (const std::exception& ex) {
        msg::report(ex);
    }
}

bool TForm_sjbp_edit::writeEntry(const TimetableEntry& entry) {
    if (m_id.isEmpty())
        return false;
    return TimetableEntries::updateEntry(*DataModule1, entry, m_id.toLongLong());
}
