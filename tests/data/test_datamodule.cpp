#include "RecordingMessageService.h"
#include "TestDatabase.h"

#include "data/datamodule.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using Icon = MessageService::Icon;
using Buttons = MessageService::Buttons;
using Answer = MessageService::Answer;

TEST(TextHelpers, SplitTextKeepsEveryPieceIncludingTheLastEmptyOne) {
    EXPECT_EQ(*SplitText("a;b;c", ";"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(*SplitText("a;", ";"), QStringList({"a", ""}));
    EXPECT_EQ(*SplitText("", ";"), QStringList({""}));
    EXPECT_EQ(*SplitText(";;", ";"), QStringList({"", "", ""}));
    EXPECT_EQ(*SplitText("晨曲;午歌", ";"), QStringList({"晨曲", "午歌"}));
}

TEST(TextHelpers, CountOccurrencesCountsOverlappingParts) {
    EXPECT_EQ(CountOccurrences(":", "values(:v1,:v2,:v3)"), 3);
    EXPECT_EQ(CountOccurrences(":", "no markers"), 0);
    EXPECT_EQ(CountOccurrences("aa", "aaaa"), 3);
    EXPECT_EQ(CountOccurrences("", "abc"), 0);
}

class DataModuleTest : public ::testing::Test {
protected:
    RecordingMessageService messages;
    TestDatabase db;
    TDataModule1& dm = db.dm();
};

TEST_F(DataModuleTest, FillListSkipsBlankAndNullValuesButKeepsTrailingBlanks) {
    db.exec("create table t (v text, n integer)");
    int order = 0;
    for (const QVariant& v :
         {QVariant("A"), QVariant(""), QVariant("  "), QVariant(), QVariant("B ")})
        db.exec("insert into t(v, n) values(?, ?)", {v, order++});
    QStringList list{"stale"};
    dm.FillListFromQuery(*dm.qry_temp, "select v from t order by n", list);
    EXPECT_EQ(list, QStringList({"A", "B "}));
}

TEST_F(DataModuleTest, ExecWithParamsChecksTheMarkerCountAndDisposesOfTheList) {
    const QString insert = "insert into sjb(名称,开始时间,结束时间,歌曲列表或歌曲,时长,播放方式,"
                           "时间表名称) values(:v1,:v2,:v3,:v4,:v5,:v6,:v7)";
    auto seven = SplitText("早操;07:30:00;07:45:00;/music/a.mp3;0:15:00;顺序播放;正常作息", ";");
    EXPECT_TRUE(dm.ExecWithParams(*dm.qry_temp, insert, std::move(seven)));
    EXPECT_EQ(seven, nullptr);
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(db.scalar("select count(*) from sjb").toInt(), 1);

    auto six = SplitText("a;b;c;d;e;f", ";");
    EXPECT_FALSE(dm.ExecWithParams(*dm.qry_temp, insert, std::move(six)));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, "参数个数不一致!");
    EXPECT_EQ(messages.last().caption, "错误");
    EXPECT_EQ(messages.last().icon, Icon::Error);
    EXPECT_EQ(db.scalar("select count(*) from sjb").toInt(), 1);

    auto eight = SplitText("a;b;c;d;e;f;g;h", ";");
    EXPECT_FALSE(dm.ExecWithParams(*dm.qry_temp, insert, std::move(eight)));
    EXPECT_EQ(messages.shown().size(), 2);
}

TEST_F(DataModuleTest, ExecWithParamsLetsExecutionErrorsReachTheCaller) {
    auto values = SplitText("x", ";");
    EXPECT_THROW(
        dm.ExecWithParams(*dm.qry_temp, "insert into nowhere(a) values(:a)", std::move(values)),
        DbError);
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(DataModuleTest, DeleteCurrentRowDeletesOnlyTheCurrentRowAndAsksNothing) {
    TQuery& shown = *dm.qry_show2;
    const QString select = "select * from sjb where 时间表名称=? order by 开始时间";

    dm.OpenQuery(shown, select, {"周末"});
    EXPECT_FALSE(dm.DeleteCurrentRow(shown, *dm.qry_temp, "sjb"));

    db.addEntry("周末", "09:00:00", "09:10:00", "/m/a.mp3");
    const qlonglong second = db.addEntry("周末", "10:00:00", "10:10:00", "/m/b.mp3");
    dm.OpenQuery(shown, select, {"周末"});
    shown.setCurrentRow(1);

    EXPECT_TRUE(dm.DeleteCurrentRow(shown, *dm.qry_temp, "sjb"));
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(db.scalar("select count(*) from sjb").toInt(), 1);
    EXPECT_EQ(db.scalar("select count(*) from sjb where ID=?", {second}).toInt(), 0);
}

TEST_F(DataModuleTest, SettingsOfMissingRowsReadEmptyAndAreNeverInserted) {
    EXPECT_EQ(dm.ReadSetting("没有这一项"), "");
    EXPECT_TRUE(dm.WriteSetting("没有这一项", "1"));
    EXPECT_EQ(db.scalar("select count(*) from system1 where name1=?", {"没有这一项"}).toInt(), 0);
    EXPECT_EQ(dm.ReadSetting("关机提示"), "1");
}

TEST_F(DataModuleTest, ValuesWithQuotesAndSemicolonsAreStoredExactly) {
    const QStringList tricky = {"他说\"早安\"", "it's", "a;b", "x\"); drop table sjb; --",
                                "' or '1'='1"};
    for (const QString& value : tricky) {
        ASSERT_TRUE(dm.WriteSetting("软件标题", value));
        EXPECT_EQ(dm.ReadSetting("软件标题"), value);
        db.addEntry(value, "08:00:00", "08:10:00", "/m/" + value + ".mp3");
        dm.OpenQuery(*dm.qry_show, "select * from sjb where 时间表名称=?", {value});
        ASSERT_EQ(dm.qry_show->recordCount(), 1) << qPrintable(value);
        EXPECT_EQ(dm.qry_show->text("歌曲列表或歌曲"), "/m/" + value + ".mp3");
    }
    EXPECT_EQ(db.scalar("select count(*) from sjb").toInt(), tricky.size());
    EXPECT_EQ(db.scalar("select count(*) from system1").toInt(), 19);
}

TEST_F(DataModuleTest, QueryCursorLocatesAndReportsMissingColumns) {
    db.addEntry("周末", "09:00:00", "09:10:00", "/m/a.mp3");
    db.addEntry("周末", "08:00:00", "08:10:00", "/m/b.mp3");
    TQuery& q = *dm.qry_show;
    dm.OpenQuery(q, "select * from sjb where 时间表名称=? order by 开始时间", {"周末"});
    EXPECT_EQ(q.recordCount(), 2);
    EXPECT_EQ(q.currentRow(), 0);
    EXPECT_EQ(q.text("开始时间"), "08:00:00");
    EXPECT_TRUE(q.locate("开始时间", "09:00:00"));
    EXPECT_EQ(q.currentRow(), 1);
    EXPECT_FALSE(q.locate("开始时间", "10:00:00"));
    EXPECT_THROW(q.value("没有的列"), DbError);
    q.next();
    EXPECT_TRUE(q.eof());
    EXPECT_THROW(q.value(0), DbError);
    EXPECT_THROW(dm.OpenQuery(q, "select * from nowhere"), DbError);
    EXPECT_FALSE(q.isActive());
    EXPECT_FALSE(dm.ExecQuery(*dm.qry_temp, "update nowhere set a=1"));
}

TEST_F(DataModuleTest, QueriesGiveTheValuesAndKindsTheSqlDriverGives) {
    db.exec("create table k (id integer primary key, t text, n integer, r real, b blob, z text)");
    const QVariantList kinds = {QVariant("晨曲 \"一\""), QVariant(42), QVariant(2.5),
                                QVariant(QByteArray("\x00\xff", 2)), QVariant(QString())};
    for (int i = 0; i < 40; ++i)
        db.exec("insert into k(t, n, r, b, z) values(?, ?, ?, ?, ?)", kinds);
    db.exec("insert into k(t, n, r, b, z) values(?, ?, ?, ?, ?)",
            {QVariant(true), QVariant(qlonglong(1) << 40), QVariant(QDate(2026, 9, 1)),
             QVariant(QByteArray()), QVariant("x")});

    // Every value, and its kind, as Qt's driver reads it.
    const QString all = "select * from k where n >= ? order by id";
    QSqlQuery theirs(QSqlDatabase::database(dm.connectionName()));
    ASSERT_TRUE(theirs.prepare(all));
    theirs.addBindValue(0);
    ASSERT_TRUE(theirs.exec());
    TQuery& q = *dm.qry_temp;
    dm.OpenQuery(q, all, {0});
    EXPECT_EQ(q.columnNames(), QStringList({"id", "t", "n", "r", "b", "z"}));
    int row = 0;
    while (theirs.next()) {
        for (int c = 0; c < 6; ++c) {
            const QVariant expected = theirs.value(c);
            const QVariant got = q.valueAt(row, c);
            EXPECT_EQ(got.typeId(), expected.typeId()) << row << "," << c;
            EXPECT_EQ(got, expected) << row << "," << c;
            EXPECT_EQ(got.isNull(), expected.isNull()) << row << "," << c;
        }
        ++row;
    }
    EXPECT_EQ(row, 41);
    EXPECT_EQ(q.recordCount(), 41);

    // Bound values of every kind select what they were stored as.
    EXPECT_EQ(db.scalar("select count(*) from k where z is null").toInt(), 40);
    dm.OpenQuery(q, "select count(*) from k where t=? and n=? and r=? and b=?", kinds.mid(0, 4));
    EXPECT_EQ(q.value(0).toInt(), 40);
    dm.OpenQuery(q, "select count(*) from k where z is ?", {QVariant(QString())});
    EXPECT_EQ(q.value(0).toInt(), 40);
    dm.OpenQuery(q, "select id from k where t=? and n=? and r=?",
                 {QVariant(true), QVariant(qlonglong(1) << 40), QVariant(QDate(2026, 9, 1))});
    EXPECT_EQ(q.recordCount(), 1);

    // Statements that cannot run fail as before, and leave the query closed.
    EXPECT_THROW(dm.OpenQuery(q, "select * from k where id=?", {}), DbError);
    EXPECT_THROW(dm.OpenQuery(q, "select 1; select 2"), DbError);
    EXPECT_FALSE(q.isActive());
}

TEST_F(DataModuleTest, AQueryOnAFileAnotherProgramHoldsSaysSo) {
    QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other-program");
    other.setDatabaseName(db.path());
    ASSERT_TRUE(other.open());
    {
        QSqlQuery lock(other);
        ASSERT_TRUE(lock.exec("begin exclusive"));
        try {
            dm.OpenQuery(*dm.qry_temp, "select * from sjb");
            ADD_FAILURE() << "read through another program's lock";
        } catch (const DbError& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains("占用")) << e.what();
        }
        lock.exec("rollback");
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase("other-program");
    dm.OpenQuery(*dm.qry_temp, "select * from sjb");
    EXPECT_TRUE(dm.qry_temp->isActive());
}
