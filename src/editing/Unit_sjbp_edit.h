#pragma once

#include "editing/EntryDialogBase.h"

class TQuery;

// "修改时间表内容": changes the entry that is the current row of rows (the
// opening editor's own grid query).
class TForm_sjbp_edit : public EntryDialogBase {
    Q_OBJECT
public:
    explicit TForm_sjbp_edit(TQuery& rows, QWidget* owner = nullptr);

    // Fills the fields from the current row; runs when first shown.
    void FormActivate();

protected:
    void showEvent(QShowEvent* event) override;
    QString unmeasuredDurationText() const override { return pickerDuration(); }
    bool writeEntry(const TimetableEntry& entry) override;
    QString writeFailedText() const override { return tr("修改失败!"); }
    qlonglong editedId() const override { return m_id.isEmpty() ? -1 : m_id.toLongLong(); }

private:
    TQuery& m_rows;
    QString m_id;
    bool m_loaded = false;
};
