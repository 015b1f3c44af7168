#pragma once

#include "editing/EntryDialogBase.h"

// "增加时间表内容": a new entry of the timetable named in Edit4.
class TForm_sjbp_add : public EntryDialogBase {
    Q_OBJECT
public:
    explicit TForm_sjbp_add(QWidget* owner = nullptr);

    QLabel* Label8; // the note on song lists

protected:
    QString unmeasuredDurationText() const override { return {}; }
    bool writeEntry(const TimetableEntry& entry) override;
    QString writeFailedText() const override { return tr("增加失败!"); }
    void afterWrite() override;
};
