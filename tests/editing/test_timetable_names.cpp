// Timetables by name: made, renamed, copied and removed with everything that uses them.
#include "TimetableTestSupport.h"
#include "data/DayCalendar.h"
#include "data/datamodule.h"
#include "editing/TimetableEditor.h"
#include "editing/TimetableNames.h"
#include "editing/Unit_sjbp.h"

#include <QComboBox>
#include <QPushButton>

namespace {
class TimetableNamesTest : public TimetableTest {
protected:
    int entries(const QString& timetable) {
        return db.scalar(QStringLiteral("select count(*) from sjb where 时间表名称=?"), {timetable})
            .toInt();
    }
    bool named(const QString& name) {
        return db.scalar(QStringLiteral("select count(*) from sjbmc where name=?"), {name})
                   .toInt() == 1;
    }
};
} // namespace

TEST_F(TimetableNamesTest, RenameCarriesWeekdaysEntriesAndExceptionsAlong) {
    TimetableNames names(db.dm());
    db.setSetting(QStringLiteral("星期一"), QStringLiteral("正常作息"));
    db.setSetting(QStringLiteral("星期五"), QStringLiteral("正常作息"));
    db.addEntry(QStringLiteral("正常作息"), "08:00:00", "08:10:00", "/m/a.mp3");
    db.addEntry(QStringLiteral("正常作息"), "09:00:00", "09:10:00", "/m/b.mp3");
    DayException day{0, QDate(2026, 12, 24), QDate(2026, 12, 24), QStringLiteral("正常作息"), {}};
    ASSERT_TRUE(DayCalendar(db.dm()).add(day));

    EXPECT_FALSE(names.rename(QStringLiteral("正常作息"), QStringLiteral("周末"))); // taken
    EXPECT_FALSE(names.rename(QStringLiteral("正常作息"), QStringLiteral("无")));
    EXPECT_FALSE(names.rename(QStringLiteral("正常作息"), QStringLiteral("  ")));
    EXPECT_EQ(messages.shown().size(), 3);
    ASSERT_TRUE(names.rename(QStringLiteral("正常作息"), QStringLiteral(" 新作息 ")));

    EXPECT_FALSE(named(QStringLiteral("正常作息")));
    EXPECT_TRUE(named(QStringLiteral("新作息")));
    EXPECT_EQ(entries(QStringLiteral("新作息")), 2);
    EXPECT_EQ(db.setting(QStringLiteral("星期一")), QStringLiteral("新作息"));
    EXPECT_EQ(db.setting(QStringLiteral("星期五")), QStringLiteral("新作息"));
    EXPECT_EQ(db.setting(QStringLiteral("星期二")), QStringLiteral("无"));
    EXPECT_EQ(DayCalendar(db.dm()).all().first().timetable, QStringLiteral("新作息"));
}

TEST_F(TimetableNamesTest, WeekdaysFollowARenameOrDeleteAsTheWeekdayWindowMatchesThem) {
    TimetableNames names(db.dm());
    ASSERT_TRUE(names.create(QStringLiteral("Summer")));
    db.setSetting(QStringLiteral("星期二"), QStringLiteral("summer"));
    db.setSetting(QStringLiteral("星期三"), QStringLiteral("Summer"));
    db.setSetting(QStringLiteral("星期四"), QStringLiteral("Summers"));
    EXPECT_EQ(names.usage(QStringLiteral("Summer")), QStringList({"星期二", "星期三"}));

    ASSERT_TRUE(names.rename(QStringLiteral("Summer"), QStringLiteral("Winter")));
    EXPECT_EQ(db.setting(QStringLiteral("星期二")), QStringLiteral("Winter"));
    EXPECT_EQ(db.setting(QStringLiteral("星期三")), QStringLiteral("Winter"));
    EXPECT_EQ(db.setting(QStringLiteral("星期四")), QStringLiteral("Summers"));

    db.setSetting(QStringLiteral("星期五"), QStringLiteral("WINTER"));
    ASSERT_TRUE(names.remove(QStringLiteral("Winter")));
    for (const char* day : {"星期二", "星期三", "星期五"})
        EXPECT_EQ(db.setting(QString::fromUtf8(day)), QStringLiteral("无")) << day;
    EXPECT_EQ(db.setting(QStringLiteral("星期四")), QStringLiteral("Summers"));
}

TEST_F(TimetableNamesTest, DeletingATimetableInUseSaysWhereAndAsksFirst) {
    TimetableNames names(db.dm());
    db.setSetting(QStringLiteral("星期三"), QStringLiteral("考试"));
    db.addEntry(QStringLiteral("考试"), "08:00:00", "08:10:00", "/m/a.mp3");
    DayException exams{0, QDate(2027, 1, 10), QDate(2027, 1, 12), QStringLiteral("考试"), {}};
    ASSERT_TRUE(DayCalendar(db.dm()).add(exams));
    EXPECT_EQ(names.usage(QStringLiteral("考试")),
              QStringList({"星期三", "例外日期 2027-01-10 至 2027-01-12"}));

    messages.nextAnswer(MessageService::Answer::Cancel);
    EXPECT_FALSE(names.remove(QStringLiteral("考试")));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().buttons, MessageService::Buttons::OkCancel);
    EXPECT_TRUE(messages.last().text.contains(QStringLiteral("星期三")));
    EXPECT_TRUE(messages.last().text.contains(QStringLiteral("2027-01-10")));
    EXPECT_TRUE(named(QStringLiteral("考试")));
    EXPECT_EQ(entries(QStringLiteral("考试")), 1);

    ASSERT_TRUE(names.remove(QStringLiteral("考试"))); // OK
    EXPECT_FALSE(named(QStringLiteral("考试")));
    EXPECT_EQ(entries(QStringLiteral("考试")), 0);
    EXPECT_EQ(db.setting(QStringLiteral("星期三")), QStringLiteral("无"));
    EXPECT_EQ(DayCalendar(db.dm()).all().first().timetable, QStringLiteral("无"));
}

TEST_F(TimetableNamesTest, TheEditorMakesCopiesAndRenamesThroughItsButtons) {
    db.addEntry(QStringLiteral("正常作息"), "08:00:00", "08:10:00", "/m/a.mp3");
    db.addEntry(QStringLiteral("正常作息"), "09:00:00", "09:10:00", "/m/b.mp3");
    QStringList answers{QStringLiteral("新学期"), QStringLiteral("新学期二"),
                        QStringLiteral("空表")};
    TForm_sjbp::setNameAsker([&answers](QWidget*, const QString&, const QString&, const QString&) {
        return answers.takeFirst();
    });
    TForm_sjbp form;
    form.show();
    int edits = 0;
    QObject::connect(&form, &TForm_sjbp::edited, [&edits] { ++edits; });
    form.Button_copy->click();
    EXPECT_EQ(form.ComboBox1->currentText(), QStringLiteral("新学期"));
    EXPECT_EQ(form.editor().rows().recordCount(), 2);
    form.Button_rename->click();
    EXPECT_EQ(form.ComboBox1->currentText(), QStringLiteral("新学期二"));
    EXPECT_EQ(form.ComboBox2->findText(QStringLiteral("新学期二")), form.ComboBox2->count() - 1);
    form.Button_new->click();
    EXPECT_EQ(form.ComboBox1->currentText(), QStringLiteral("空表"));
    EXPECT_EQ(form.editor().rows().recordCount(), 0);
    EXPECT_EQ(entries(QStringLiteral("正常作息")), 2);
    EXPECT_EQ(edits, 3);
    TForm_sjbp::setNameAsker({});
}
