#include "TimetableTestSupport.h"
#include "ToneFiles.h"

#include "data/datamodule.h"
#include "editing/TimetableEntry.h"
#include "editing/Unit_sjbp_add.h"
#include "editing/Unit_sjbp_edit.h"
#include "platform/GstMediaDevice.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

namespace {
using namespace TimetableEntries;

TEST(EntryRules, DurationIsTheAbsoluteDifferenceOfTheTimesOfDay) {
    EXPECT_EQ(durationText(QTime(8, 0), QTime(8, 3, 25)), QStringLiteral("0:03:25"));
    EXPECT_EQ(durationText(QTime(10, 0), QTime(9, 0)), QStringLiteral("1:00:00"));
    EXPECT_EQ(durationText(QTime(23, 58), QTime(0, 3)), QStringLiteral("23:55:00"));
    EXPECT_EQ(durationText(QTime(7, 0), QTime(7, 0)), QStringLiteral("0:00:00"));
    EXPECT_EQ(durationText(QTime(0, 0), QTime(23, 59, 59)), QStringLiteral("23:59:59"));
}

TEST(EntryRules, SongLengthMinutesNeverRollIntoHours) {
    EXPECT_EQ(songLengthText(205000), QStringLiteral("3:25"));
    EXPECT_EQ(songLengthText(7500), QStringLiteral("0:07"));
    EXPECT_EQ(songLengthText(4530000), QStringLiteral("75:30"));
}

TEST(EntryRules, EndTimeIsStartPlusWholeSecondsWrappingPastMidnight) {
    EXPECT_EQ(endTimeAfter(QTime(8, 0), 205999), QTime(8, 3, 25));
    EXPECT_EQ(endTimeAfter(QTime(8, 0), 4530000), QTime(9, 15, 30));
    EXPECT_EQ(endTimeAfter(QTime(23, 58), 300000), QTime(0, 3));
    EXPECT_EQ(endTimeAfter(QTime(22, 0), qint64(25) * 3600 * 1000), QTime(23, 0));
}

TEST(EntryRules, SingleSongsOfEveryKindAreMeasuredInAnyCase) {
    for (const char* p : {"/a/b.mp3", "/a/b.Mp3", "/a/b.WAV", "/a/b.wma", "/a/b.WMA", "/a/b.wmv"})
        EXPECT_TRUE(isMeasuredSong(QString::fromUtf8(p))) << p;
    for (const char* p : {"/a/b.pl3", "/a/b.ogg", "", "/a/mp3", "/a.mp3/b", "/a/b.mp3x"})
        EXPECT_FALSE(isMeasuredSong(QString::fromUtf8(p))) << p;
}

TEST(EntryRules, StoredTimesParse) {
    EXPECT_EQ(parseTime(QStringLiteral("07:30:05")), QTime(7, 30, 5));
    EXPECT_FALSE(parseTime(QStringLiteral("25:00:00")).isValid());
    EXPECT_FALSE(parseTime(QStringLiteral("abc")).isValid());
}

class EntryDialogTest : public TimetableTest {
protected:
    QString song(const QString& name, qint64 ms) {
        const QString path = db.writeFile(name);
        lengths.insert(path, ms);
        return path;
    }
    QString stored(const QString& column, qlonglong id) {
        return db.scalar(QStringLiteral("select %1 from sjb where ID=?").arg(column), {id})
            .toString();
    }
    qlonglong lastId() { return db.scalar(QStringLiteral("select max(ID) from sjb")).toLongLong(); }
};

TEST_F(EntryDialogTest, AddDialogStartsEmptyWithItsCaptions) {
    TForm_sjbp_add d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("增加时间表内容"));
    EXPECT_EQ(d.Label1->text(), QStringLiteral("名        称："));
    EXPECT_EQ(d.DateTimePicker1->time(), QTime(0, 0));
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(0, 0));
    EXPECT_EQ(d.DateTimePicker1->displayFormat(), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("随机播放"));
    EXPECT_EQ(d.ComboBox1->count(), 4);
    EXPECT_TRUE(d.Label7->isHidden());
    EXPECT_TRUE(d.Edit4->isHidden());
    EXPECT_TRUE(d.Label_longer->text().isEmpty());
}

TEST_F(EntryDialogTest, AnEmptyOrBlankPathIsRefused) {
    for (const QString& path : {QString(), QStringLiteral("   ")}) {
        messages.clear();
        TForm_sjbp_add d;
        d.Edit4->setText(QStringLiteral("正常作息"));
        d.Edit8->setText(path);
        d.Button2->click();
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_EQ(messages.last().text, QStringLiteral("歌曲列表或单首歌曲不能为空。"));
        EXPECT_EQ(messages.last().caption, QStringLiteral("出错"));
        EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from sjb")).toInt(), 0);
    }
}

TEST_F(EntryDialogTest, EnterSavesAndDoesNotOpenTheFileChooser) {
    TForm_sjbp_add d;
    d.Edit4->setText(QStringLiteral("正常作息"));
    d.DateTimePicker1->setTime(QTime(8, 0));
    d.DateTimePicker2->setTime(QTime(8, 10));
    d.Edit8->setText(db.writeFile(QStringLiteral("list.pl3")));
    d.show();
    QTest::keyClick(d.Edit1, Qt::Key_Return);
    EXPECT_TRUE(chooserTitles.isEmpty());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from sjb")).toInt(), 1);
}

TEST_F(EntryDialogTest, ChoosingASongMovesTheEndTimeAndSavingStoresTheDuration) {
    chooserAnswer = song(QStringLiteral("晨曲.mp3"), 205000);
    TForm_sjbp_add d;
    d.Edit4->setText(QStringLiteral("正常作息"));
    d.DateTimePicker1->setTime(QTime(8, 0));
    d.Button1->click();
    EXPECT_EQ(chooserTitles, QStringList{QStringLiteral("请选择歌曲列表或歌曲文件")});
    EXPECT_EQ(chooserFilters.value(0), EntryDialogBase::openFilter);
    EXPECT_EQ(d.Edit8->text(), chooserAnswer);
    EXPECT_EQ(d.Label_longer->text(), QStringLiteral("3:25"));
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(8, 3, 25));
    EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("单曲播放"));
    EXPECT_FALSE(d.Label7->isHidden());

    d.Edit1->setText(QStringLiteral(" 晨曲 "));
    d.Button2->click();
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(d.Edit1->text().isEmpty());
    EXPECT_TRUE(d.Edit8->text().isEmpty());
    const qlonglong id = lastId();
    EXPECT_EQ(stored(QStringLiteral("名称"), id), QStringLiteral("晨曲"));
    EXPECT_EQ(stored(QStringLiteral("开始时间"), id), QStringLiteral("08:00:00"));
    EXPECT_EQ(stored(QStringLiteral("结束时间"), id), QStringLiteral("08:03:25"));
    EXPECT_EQ(stored(QStringLiteral("时长"), id), QStringLiteral("0:03:25"));
    EXPECT_EQ(stored(QStringLiteral("播放方式"), id), QStringLiteral("单曲播放"));
    EXPECT_EQ(stored(QStringLiteral("时间表名称"), id), QStringLiteral("正常作息"));
}

TEST_F(EntryDialogTest, SongsOfAnHourAndMoreAndEndsPastMidnight) {
    // The dialog's device knows the lengths given before it was made.
    const QString five = song(QStringLiteral("five.wav"), 300000);
    chooserAnswer = song(QStringLiteral("long.MP3"), 4530000);
    TForm_sjbp_add d;
    d.DateTimePicker1->setTime(QTime(8, 0));
    d.Button1->click();
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(d.Label_longer->text(), QStringLiteral("75:30"));
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(9, 15, 30));

    chooserAnswer = five;
    d.DateTimePicker1->setTime(QTime(23, 58));
    d.Button1->click();
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(0, 3));
    d.Edit4->setText(QStringLiteral("周末"));
    d.Button2->click();
    EXPECT_EQ(stored(QStringLiteral("时长"), lastId()), QStringLiteral("23:55:00"));
    EXPECT_EQ(stored(QStringLiteral("结束时间"), lastId()), QStringLiteral("00:03:00"));
}

TEST_F(EntryDialogTest, WmaAndWmvSongsAreMeasuredToo) {
    for (const QString& name : {QStringLiteral("a.WMA"), QStringLiteral("b.wmv")}) {
        chooserAnswer = song(name, 65000);
        TForm_sjbp_add d;
        d.DateTimePicker1->setTime(QTime(10, 0));
        d.Button1->click();
        EXPECT_EQ(d.Label_longer->text(), QStringLiteral("1:05")) << name.toStdString();
        EXPECT_EQ(d.DateTimePicker2->time(), QTime(10, 1, 5));
    }
}

TEST_F(EntryDialogTest, NoticeHiddenByAnEndTimeChangeButNotByAStartTimeChange) {
    chooserAnswer = song(QStringLiteral("s.mp3"), 205000);
    TForm_sjbp_add d;
    d.DateTimePicker1->setTime(QTime(8, 0));
    d.Button1->click();
    ASSERT_FALSE(d.Label7->isHidden());
    d.DateTimePicker1->setTime(QTime(7, 0));
    EXPECT_FALSE(d.Label7->isHidden());
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(8, 3, 25));
    EXPECT_EQ(d.Label_longer->text(), QStringLiteral("1:03:25"));
    d.DateTimePicker2->setTime(QTime(7, 30));
    EXPECT_TRUE(d.Label7->isHidden());
    EXPECT_EQ(d.Label_longer->text(), QStringLiteral("0:30:00"));
}

TEST_F(EntryDialogTest, SongListsAreNotMeasured) {
    chooserAnswer = db.writeFile(QStringLiteral("list.pl3"));
    TForm_sjbp_add add;
    add.DateTimePicker1->setTime(QTime(8, 0));
    add.DateTimePicker2->setTime(QTime(8, 20));
    add.ComboBox1->setCurrentText(QStringLiteral("顺序播放"));
    add.Button1->click();
    EXPECT_EQ(add.Edit8->text(), chooserAnswer);
    EXPECT_TRUE(add.Label_longer->text().isEmpty());
    EXPECT_EQ(add.DateTimePicker2->time(), QTime(8, 20));
    EXPECT_EQ(add.ComboBox1->currentText(), QStringLiteral("顺序播放"));
    EXPECT_TRUE(add.Label7->isHidden());

    db.addEntry(QStringLiteral("正常作息"), "08:00:00", "08:20:00", "/m/x.mp3");
    TQuery rows(db.dm().connectionName());
    db.dm().OpenQuery(rows, QStringLiteral("select * from sjb"));
    TForm_sjbp_edit edit(rows);
    edit.FormActivate();
    edit.Button1->click();
    EXPECT_EQ(edit.Label_longer->text(), QStringLiteral("0:20:00"));
}

TEST_F(EntryDialogTest, CancellingTheChooserMeasuresTheSongAlreadyThere) {
    const QString path = song(QStringLiteral("s.mp3"), 60000);
    TForm_sjbp_add d;
    d.Edit8->setText(path);
    d.DateTimePicker1->setTime(QTime(9, 0));
    chooserAnswer.clear();
    d.Button1->click();
    EXPECT_EQ(d.Edit8->text(), path);
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(9, 1));
}

TEST_F(EntryDialogTest, ASongThatCannotBeOpenedChangesNothingButThePath) {
    const QString bad = db.writeFile(QStringLiteral("bad.mp3"));
    unplayable.insert(bad);
    TForm_sjbp_add d;
    d.DateTimePicker1->setTime(QTime(8, 0));
    d.DateTimePicker2->setTime(QTime(8, 20));
    for (const QString& path : {bad, db.dir() + QStringLiteral("/missing.mp3")}) {
        messages.clear();
        chooserAnswer = path;
        d.Button1->click();
        EXPECT_EQ(d.Edit8->text(), path);
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
        EXPECT_FALSE(messages.last().text.isEmpty());
        EXPECT_EQ(d.DateTimePicker2->time(), QTime(8, 20));
        EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("随机播放"));
        EXPECT_TRUE(d.Label7->isHidden());
        EXPECT_EQ(d.Label_longer->text(), QStringLiteral("0:20:00"));
    }
}

TEST_F(EntryDialogTest, ASongOfUnknownLengthLeavesTheEndTimeAlone) {
    chooserAnswer = song(QStringLiteral("stream.mp3"), 0);
    TForm_sjbp_add d;
    d.DateTimePicker2->setTime(QTime(0, 10));
    d.Button1->click();
    EXPECT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(0, 10));
    EXPECT_TRUE(d.Label7->isHidden());
}

TEST_F(EntryDialogTest, EditLoadsTheRowAndUpdatesItWithBoundValues) {
    const qlonglong id = db.addEntry(QStringLiteral("正常作息"), "08:00:00", "09:00:00", "/m/a.pl3",
                                     QStringLiteral("自定义"), QStringLiteral("早读"));
    TQuery rows(db.dm().connectionName());
    db.dm().OpenQuery(rows, QStringLiteral("select * from sjb"));
    TForm_sjbp_edit d(rows);
    d.Edit4->setText(QStringLiteral("夏季作息"));
    d.show(); // loads when first shown
    EXPECT_EQ(d.Edit1->text(), QStringLiteral("早读"));
    EXPECT_EQ(d.DateTimePicker1->time(), QTime(8, 0));
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(9, 0));
    EXPECT_EQ(d.Edit8->text(), QStringLiteral("/m/a.pl3"));
    EXPECT_EQ(d.Label_longer->text(), QStringLiteral("0:20:00")); // as stored
    // Only the four modes are offered: an odd stored mode shows as the one it plays like.
    EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("随机播放"));
    EXPECT_TRUE(d.Label7->isHidden());

    d.Edit1->setText(QStringLiteral("say \"hi\"; ok"));
    d.Edit8->setText(QStringLiteral(" /m/b.pl3"));
    d.DateTimePicker2->setTime(QTime(7, 0)); // before the start
    d.Button2->click();                      // warned of the end and the missing file; OK saves
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().buttons, MessageService::Buttons::OkCancel);
    EXPECT_EQ(stored(QStringLiteral("名称"), id), QStringLiteral("say \"hi\"; ok"));
    EXPECT_EQ(stored(QStringLiteral("歌曲列表或歌曲"), id), QStringLiteral(" /m/b.pl3"));
    EXPECT_EQ(stored(QStringLiteral("结束时间"), id), QStringLiteral("07:00:00"));
    EXPECT_EQ(stored(QStringLiteral("时长"), id), QStringLiteral("1:00:00"));
    EXPECT_EQ(stored(QStringLiteral("时间表名称"), id), QStringLiteral("夏季作息"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from sjb")).toInt(), 1);
}

TEST_F(EntryDialogTest, AFailedWriteIsReportedAndTheDialogCloses) {
    db.exec(QStringLiteral("create trigger refuse_add before insert on sjb "
                           "begin select raise(abort, 'refused'); end"));
    db.exec(QStringLiteral("create trigger refuse_edit before update on sjb "
                           "begin select raise(abort, 'refused'); end"));
    TForm_sjbp_add add;
    add.Edit8->setText(QStringLiteral("/m/a.pl3"));
    add.Button2->click();
    ASSERT_EQ(messages.shown().size(), 2); // the missing file, then the failure
    EXPECT_EQ(messages.last().text, QStringLiteral("增加失败!"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("错误"));
    EXPECT_EQ(add.result(), QDialog::Accepted);

    db.exec(QStringLiteral("drop trigger refuse_add"));
    db.addEntry(QStringLiteral("正常作息"), "08:00:00", "09:00:00", "/m/a.pl3");
    TQuery rows(db.dm().connectionName());
    db.dm().OpenQuery(rows, QStringLiteral("select * from sjb"));
    TForm_sjbp_edit edit(rows);
    edit.FormActivate();
    edit.Button2->click();
    EXPECT_EQ(messages.last().text, QStringLiteral("修改失败!"));
}

TEST_F(EntryDialogTest, SavingWarnsOfEndBeforeStartOverlapsAndMissingFilesButMayGoOn) {
    const QString song = db.writeFile(QStringLiteral("ok.mp3"));
    const qlonglong own = db.addEntry(QStringLiteral("正常作息"), "08:00:00", "08:30:00", song,
                                      QStringLiteral("顺序播放"), QStringLiteral("早操"));
    db.addEntry(QStringLiteral("正常作息"), "08:20:00", "08:40:00", song,
                QStringLiteral("顺序播放"), QStringLiteral("眼操"));
    db.addEntry(QStringLiteral("周末"), "08:10:00", "08:20:00", song); // another timetable
    auto add = [&](const QTime& start, const QTime& end, const QString& path) {
        auto d = std::make_unique<TForm_sjbp_add>();
        d->Edit4->setText(QStringLiteral("正常作息"));
        d->DateTimePicker1->setTime(start);
        d->DateTimePicker2->setTime(end);
        d->Edit8->setText(path);
        return d;
    };
    auto clean = add(QTime(8, 40), QTime(8, 50), song); // back to back is fine
    EXPECT_TRUE(
        clean->warnings(TimetableEntry{{}, "08:40:00", "08:50:00", song, {}, {}, "正常作息"})
            .isEmpty());

    const QString gone = db.dir() + QStringLiteral("/gone.mp3");
    auto d = add(QTime(8, 25), QTime(8, 15), gone);
    messages.nextAnswer(MessageService::Answer::Cancel);
    d->Button2->click();
    ASSERT_EQ(messages.shown().size(), 1);
    const QString text = messages.last().text;
    EXPECT_TRUE(text.contains(QStringLiteral("结束时间 08:15:00 早于开始时间 08:25:00")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("文件不存在：") + gone)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("早操"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("眼操"))) << text.toStdString();
    EXPECT_NE(d->result(), QDialog::Accepted) << "Cancel keeps the dialog open";
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from sjb")).toInt(), 3);
    d->Button2->click(); // OK this time: stored as entered
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from sjb")).toInt(), 4);

    // An entry being changed does not overlap itself.
    TQuery rows(db.dm().connectionName());
    db.dm().OpenQuery(rows, QStringLiteral("select * from sjb where ID=?"), {own});
    TForm_sjbp_edit edit(rows);
    edit.FormActivate();
    const QStringList problems = edit.warnings(TimetableEntries::entryFromRow(rows));
    ASSERT_EQ(problems.size(), 2) << problems.join('|').toStdString(); // 眼操 and the new one
    EXPECT_FALSE(problems.join(QString()).contains(QStringLiteral("早操")));
}

TEST_F(EntryDialogTest, ThePlayModeBoxOffersTheFourModesAndTheTimesTakeTypedDigits) {
    TForm_sjbp_add d;
    EXPECT_FALSE(d.ComboBox1->isEditable());
    QStringList modes;
    for (int i = 0; i < d.ComboBox1->count(); ++i)
        modes << d.ComboBox1->itemText(i);
    EXPECT_EQ(modes, QStringList({"顺序播放", "随机播放", "单曲播放", "随机单曲"}));
    d.show();
    QTest::keyClicks(d.DateTimePicker1, QStringLiteral("073005"));
    EXPECT_EQ(d.DateTimePicker1->time(), QTime(7, 30, 5));
    QTest::keyClicks(d.DateTimePicker2, QStringLiteral("0745"));
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(7, 45, 0));
    EXPECT_EQ(d.Label_longer->text(), QStringLiteral("0:14:55"));
    EXPECT_TRUE(d.Label7->isHidden());
    // A digit that makes no time is refused; a seventh digit starts a new time.
    QTest::keyClicks(d.DateTimePicker2, QStringLiteral("99"));
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(7, 45, 0));
    QTest::keyClicks(d.DateTimePicker1, QStringLiteral("1"));
    EXPECT_EQ(d.DateTimePicker1->time(), QTime(10, 0, 0));
}

TEST_F(EntryDialogTest, ABrokenStoredTimeIsReportedWhenLoading) {
    db.addEntry(QStringLiteral("正常作息"), "8点", "09:00:00", "/m/a.pl3");
    TQuery rows(db.dm().connectionName());
    db.dm().OpenQuery(rows, QStringLiteral("select * from sjb"));
    TForm_sjbp_edit d(rows);
    d.FormActivate();
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(messages.last().text.contains(QStringLiteral("8点")));
}
} // namespace

// The same measuring through the real GStreamer device and generated sound files.
TEST_F(EntryDialogTest, RealSongsOfKnownLengthMoveTheEndTime) {
    Services::setMediaDeviceFactory(
        [](QObject* parent) { return std::make_unique<GstMediaDevice>(parent); });
    const QString wav = db.dir() + QStringLiteral("/两分钟.wav");
    ASSERT_TRUE(tone::writeWav(wav, 125400, 8000));
    chooserAnswer = wav;
    TForm_sjbp_add d;
    d.DateTimePicker1->setTime(QTime(23, 59, 0));
    d.Button1->click();
    EXPECT_TRUE(messages.shown().isEmpty()) << qPrintable(messages.texts().join('|'));
    EXPECT_EQ(d.Label_longer->text(), QStringLiteral("2:05"));
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(0, 1, 5)) << "wraps past midnight";
    EXPECT_FALSE(d.Label7->isHidden());

    const QString mp3 = db.dir() + QStringLiteral("/short.mp3");
    ASSERT_TRUE(tone::writeWav(db.dir() + QStringLiteral("/short.wav"), 3500));
    ASSERT_TRUE(tone::encodeMp3(db.dir() + QStringLiteral("/short.wav"), mp3, {"-b", "128"}));
    chooserAnswer = mp3;
    d.DateTimePicker1->setTime(QTime(8, 0, 0));
    d.Button1->click();
    EXPECT_EQ(d.Label_longer->text(), QStringLiteral("0:03"));
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(8, 0, 3));

    const QString broken = db.writeFile(QStringLiteral("broken.mp3"), QByteArray(4096, 'z'));
    chooserAnswer = broken;
    d.Button1->click();
    EXPECT_EQ(d.Edit8->text(), broken);
    EXPECT_EQ(messages.shown().size(), 1) << "an undecodable song is reported";
    EXPECT_EQ(d.DateTimePicker2->time(), QTime(8, 0, 3)) << "and the end time is left alone";
}
