#include "TimetableTestSupport.h"

#include "app/Unit_main_vorn.h"
#include "editing/TimetableEditor.h"
#include "editing/Unit_sjbp.h"
#include "editing/Unit_sjbp_add.h"
#include "editing/Unit_sjbp_edit.h"
#include "support/FakeClock.h"
#include "support/GridChecks.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>
#include <QToolButton>

namespace {
const QString kNormal = QStringLiteral("正常作息");
const QString kSummer = QStringLiteral("夏季作息");
const QString kWinter = QStringLiteral("冬季作息");

template <typename T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

class TimetableEditorTest : public TimetableTest {
protected:
    // An editor window showing the given timetable.
    std::unique_ptr<TForm_sjbp> openEditor(const QString& timetable = kNormal) {
        auto form = std::make_unique<TForm_sjbp>();
        form->show();
        auto* combo = child<QComboBox>(form.get(), "ComboBox1");
        combo->setCurrentIndex(combo->findText(timetable));
        return form;
    }

    // The IDs in the editor's grid, top to bottom.
    static QList<qlonglong> gridIds(TForm_sjbp& form) {
        auto* model = child<QTableView>(&form, "DBGrid1")->model();
        QList<qlonglong> ids;
        for (int r = 0; r < model->rowCount(); ++r)
            ids << model->index(r, 0).data().toLongLong();
        return ids;
    }
    static QStringList gridColumn(TForm_sjbp& form, int column) {
        auto* model = child<QTableView>(&form, "DBGrid1")->model();
        QStringList out;
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, column).data().toString();
        return out;
    }
    int count(const QString& timetable) {
        return db.scalar(QStringLiteral("select count(*) from sjb where 时间表名称=?"), {timetable})
            .toInt();
    }
    static void click(QWidget* w, const char* button) { child<QPushButton>(w, button)->click(); }
};

TEST_F(TimetableEditorTest, CreationFillsBothChoosersAndShowsFirstTimetableByStartTime) {
    const qlonglong late = db.addEntry(kNormal, "09:00:00", "09:10:00", "/m/b.mp3");
    const qlonglong early = db.addEntry(kNormal, "08:00:00", "08:10:00", "/m/a.mp3");
    db.addEntry(kSummer, "07:00:00", "07:10:00", "/m/c.mp3");
    TForm_sjbp form;
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("时间表编辑"));
    auto* names = child<QComboBox>(&form, "ComboBox1");
    auto* sources = child<QComboBox>(&form, "ComboBox2");
    ASSERT_EQ(names->count(), 5);
    EXPECT_EQ(names->currentText(), kNormal);
    EXPECT_EQ(sources->count(), 5);
    EXPECT_EQ(sources->currentIndex(), -1);
    EXPECT_EQ(gridIds(form), (QList<qlonglong>{early, late}));
    auto* grid = child<QTableView>(&form, "DBGrid1");
    EXPECT_TRUE(grid->isColumnHidden(0));
    QCoreApplication::processEvents();
    // The default size, or less on a small screen (room left for the frame).
    EXPECT_EQ(form.size(), TForm_sjbp::defaultSize.boundedTo(
                               form.screen()->availableGeometry().size() - QSize(16, 48)));
    expectColumnsReadable(grid);
    EXPECT_EQ(grid->toolTip(), QStringLiteral("双击可修改选中行的内容"));
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form.frameGeometry().center() - centre).manhattanLength(), 4) << "opens centred";
}

TEST_F(TimetableEditorTest, AddListsInStorageOrderThenByStartTimeAfterOtherActions) {
    const qlonglong first = db.addEntry(kNormal, "09:00:00", "09:10:00", "/m/b.mp3");
    const qlonglong second = db.addEntry(kNormal, "08:00:00", "08:10:00", "/m/a.mp3");
    auto form = openEditor();
    onNextModal([](QDialog* d) {
        EXPECT_EQ(d->objectName(), QStringLiteral("Form_sjbp_add"));
        EXPECT_EQ(child<QLineEdit>(d, "Edit4")->text(), kNormal);
        child<QLineEdit>(d, "Edit1")->setText(QStringLiteral("  早操 "));
        child<QTimeEdit>(d, "DateTimePicker1")->setTime(QTime(7, 0, 0));
        child<QTimeEdit>(d, "DateTimePicker2")->setTime(QTime(7, 20, 0));
        child<QLineEdit>(d, "Edit8")->setText(QStringLiteral("/m/早操.pl3"));
        child<QComboBox>(d, "ComboBox1")->setCurrentText(QStringLiteral("顺序播放"));
        child<QPushButton>(d, "Button2")->click();
    });
    click(form.get(), "Button1");
    const qlonglong added = db.scalar(QStringLiteral("select max(ID) from sjb")).toLongLong();
    EXPECT_EQ(gridIds(*form), (QList<qlonglong>{first, second, added}));
    EXPECT_EQ(
        db.scalar("select 名称 || '|' || 开始时间 || '|' || 结束时间 || '|' || 歌曲列表或歌曲 "
                  "|| '|' || 时长 || '|' || 播放方式 || '|' || 时间表名称 from sjb where ID=?",
                  {added})
            .toString(),
        QStringLiteral("早操|07:00:00|07:20:00|/m/早操.pl3|0:20:00|顺序播放|正常作息"));

    // Cancelling a delete still reloads, now by start time.
    messages.nextAnswer(MessageService::Answer::Cancel);
    click(form.get(), "Button2");
    EXPECT_EQ(gridIds(*form), (QList<qlonglong>{added, second, first}));
}

TEST_F(TimetableEditorTest, DeleteAsksAndOnlyOkDeletes) {
    db.addEntry(kNormal, "08:00:00", "08:10:00", "/m/a.mp3");
    const qlonglong second = db.addEntry(kNormal, "09:00:00", "09:10:00", "/m/b.mp3");
    auto form = openEditor();
    child<QTableView>(form.get(), "DBGrid1")->selectRow(1);
    EXPECT_EQ(form->editor().currentId(), QString::number(second));

    messages.nextAnswer(MessageService::Answer::Cancel);
    click(form.get(), "Button2");
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("确定要删除此行数据吗?"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("提示"));
    EXPECT_EQ(messages.last().buttons, MessageService::Buttons::OkCancel);
    EXPECT_EQ(count(kNormal), 2);

    child<QTableView>(form.get(), "DBGrid1")->selectRow(1);
    messages.nextAnswer(MessageService::Answer::Ok);
    click(form.get(), "Button2");
    EXPECT_EQ(count(kNormal), 1);
    EXPECT_EQ(db.scalar("select count(*) from sjb where ID=?", {second}).toInt(), 0);
    EXPECT_EQ(gridIds(*form).size(), 1);
}

TEST_F(TimetableEditorTest, DeleteOnEmptyTimetableAsksNothing) {
    auto form = openEditor();
    click(form.get(), "Button2");
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(TimetableEditorTest, ModifyWritesTheRowAndKeepsItCurrentAfterMoving) {
    const qlonglong a = db.addEntry(kNormal, "08:00:00", "08:10:00", "/m/a.mp3");
    const qlonglong b = db.addEntry(kNormal, "09:00:00", "09:10:00", "/m/b.mp3");
    const qlonglong c = db.addEntry(kNormal, "10:00:00", "10:10:00", "/m/c.mp3");
    auto form = openEditor();
    EXPECT_EQ(form->editor().currentId(), QString::number(a));
    onNextModal([](QDialog* d) {
        EXPECT_EQ(d->objectName(), QStringLiteral("Form_sjbp_edit"));
        EXPECT_EQ(d->windowTitle(), QStringLiteral("修改时间表内容"));
        EXPECT_EQ(child<QTimeEdit>(d, "DateTimePicker1")->time(), QTime(8, 0, 0));
        EXPECT_EQ(child<QLineEdit>(d, "Edit8")->text(), QStringLiteral("/m/a.mp3"));
        EXPECT_EQ(child<QComboBox>(d, "ComboBox1")->currentText(), QStringLiteral("顺序播放"));
        child<QTimeEdit>(d, "DateTimePicker1")->setTime(QTime(11, 0, 0));
        child<QTimeEdit>(d, "DateTimePicker2")->setTime(QTime(11, 5, 0));
        child<QLineEdit>(d, "Edit8")->setText(QStringLiteral("/m/\"quoted\" song.mp3"));
        child<QPushButton>(d, "Button2")->click();
    });
    click(form.get(), "Button3");
    EXPECT_EQ(gridIds(*form), (QList<qlonglong>{b, c, a}));
    EXPECT_EQ(form->editor().currentId(), QString::number(a));
    EXPECT_EQ(child<QTableView>(form.get(), "DBGrid1")->currentIndex().row(), 2);
    EXPECT_EQ(db.scalar("select 歌曲列表或歌曲 || '|' || 时长 from sjb where ID=?", {a}).toString(),
              QStringLiteral("/m/\"quoted\" song.mp3|0:05:00"));
    // The file does not exist: a warning the operator answered with OK.
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(messages.last().text.contains(QStringLiteral("文件不存在")));
}

TEST_F(TimetableEditorTest, ModifyOnEmptyTimetableOnlyTellsSo) {
    auto form = openEditor(kWinter);
    bool opened = false;
    QTimer* guard = onNextModal([&opened](QDialog*) { opened = true; });
    click(form.get(), "Button3");
    QCoreApplication::processEvents();
    delete guard;
    EXPECT_FALSE(opened);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("数据表为空,不能修改"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("提示"));
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Information);
}

TEST_F(TimetableEditorTest, ImportCopiesEverySourceEntryBesideTheTargetsOwn) {
    db.addEntry(kNormal, "08:00:00", "08:10:00", "/m/a.mp3");
    db.addEntry(kNormal, "12:00:00", "12:10:00", "/m/b.mp3");
    db.addEntry(kSummer, "10:00:00", "10:30:00", "/m/x;y.mp3", "随机;播放",
                QStringLiteral("课间\"操\";一"));
    db.addEntry(kSummer, "07:00:00", "07:30:00", "/m/它's.pl3", "顺序播放", "晨'读");
    db.addEntry(kSummer, "12:00:00", "12:10:00", "/m/b.mp3");
    auto form = openEditor();
    auto* sources = child<QComboBox>(form.get(), "ComboBox2");
    sources->setCurrentIndex(sources->findText(kSummer));
    click(form.get(), "Button5");
    EXPECT_TRUE(messages.shown().isEmpty()) << messages.texts().join('\n').toStdString();
    EXPECT_EQ(count(kNormal), 5);
    EXPECT_EQ(count(kSummer), 3);
    // By start time, duplicates of the same time kept side by side.
    EXPECT_EQ(gridColumn(*form, 2),
              (QStringList{"07:00:00", "08:00:00", "10:00:00", "12:00:00", "12:00:00"}));
    EXPECT_EQ(
        db.scalar("select 名称 || '|' || 歌曲列表或歌曲 || '|' || 时长 || '|' || 播放方式 from "
                  "sjb where 时间表名称=? and 开始时间='10:00:00'",
                  {kNormal})
            .toString(),
        QStringLiteral("课间\"操\";一|/m/x;y.mp3|0:20:00|随机;播放"));
    EXPECT_EQ(db.scalar("select 名称 || '|' || 歌曲列表或歌曲 from sjb where 时间表名称=? and "
                        "开始时间='07:00:00'",
                        {kNormal})
                  .toString(),
              QStringLiteral("晨'读|/m/它's.pl3"));

    // A second import copies again.
    click(form.get(), "Button5");
    EXPECT_EQ(count(kNormal), 8);
}

TEST_F(TimetableEditorTest, ImportIntoItselfDoublesTheEntries) {
    db.addEntry(kNormal, "08:00:00", "08:10:00", "/m/a.mp3");
    db.addEntry(kNormal, "09:00:00", "09:10:00", "/m/b.mp3");
    auto form = openEditor();
    auto* sources = child<QComboBox>(form.get(), "ComboBox2");
    sources->setCurrentIndex(sources->findText(kNormal));
    click(form.get(), "Button5");
    EXPECT_EQ(count(kNormal), 4);
    EXPECT_EQ(gridColumn(*form, 2), (QStringList{"08:00:00", "08:00:00", "09:00:00", "09:00:00"}));
    const QList<qlonglong> ids = gridIds(*form);
    EXPECT_EQ(QSet<qlonglong>(ids.begin(), ids.end()).size(), 4);
}

TEST_F(TimetableEditorTest, ImportWithoutSourceOrFromEmptySource) {
    db.addEntry(kNormal, "08:00:00", "08:10:00", "/m/a.mp3");
    auto form = openEditor();
    click(form.get(), "Button5");
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(count(kNormal), 1);

    auto* sources = child<QComboBox>(form.get(), "ComboBox2");
    sources->setCurrentIndex(sources->findText(kWinter));
    click(form.get(), "Button5");
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("源时间表为空，不能导入!"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("错误"));
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
    EXPECT_EQ(count(kNormal), 1);
}

TEST_F(TimetableEditorTest, ImportStopsAtTheFirstInsertThatFails) {
    db.addEntry(kSummer, "07:00:00", "07:10:00", "/m/a.mp3", "顺序播放", "一");
    db.addEntry(kSummer, "08:00:00", "08:10:00", "/m/b.mp3", "顺序播放", "坏");
    db.addEntry(kSummer, "09:00:00", "09:10:00", "/m/c.mp3", "顺序播放", "三");
    db.exec(QStringLiteral("create trigger refuse before insert on sjb when new.名称='坏' "
                           "begin select raise(abort, 'refused'); end"));
    auto form = openEditor();
    auto* sources = child<QComboBox>(form.get(), "ComboBox2");
    sources->setCurrentIndex(sources->findText(kSummer));
    click(form.get(), "Button5");
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("导入失败!"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("错误"));
    EXPECT_EQ(count(kNormal), 1);          // the entry before the failure stays
    EXPECT_TRUE(gridIds(*form).isEmpty()); // and the grid was not reloaded
}

TEST_F(TimetableEditorTest, TwoEditorsKeepTheirOwnTimetables) {
    const qlonglong normal = db.addEntry(kNormal, "08:00:00", "08:10:00", "/m/a.mp3");
    db.addEntry(kSummer, "09:00:00", "09:10:00", "/m/b.mp3");
    db.addEntry(kSummer, "10:00:00", "10:10:00", "/m/c.mp3");
    auto first = openEditor(kNormal);
    auto second = openEditor(kSummer);
    EXPECT_EQ(gridIds(*first), (QList<qlonglong>{normal}));
    EXPECT_EQ(gridIds(*second).size(), 2);

    // A modify in the first editor edits its own row and keeps its timetable.
    onNextModal([](QDialog* d) {
        EXPECT_EQ(child<QLineEdit>(d, "Edit8")->text(), QStringLiteral("/m/a.mp3"));
        child<QLineEdit>(d, "Edit1")->setText(QStringLiteral("改过"));
        child<QPushButton>(d, "Button2")->click();
    });
    click(first.get(), "Button3");
    EXPECT_EQ(
        db.scalar("select 名称 || '|' || 时间表名称 from sjb where ID=?", {normal}).toString(),
        QStringLiteral("改过|正常作息"));
    EXPECT_EQ(count(kSummer), 2);
    EXPECT_EQ(gridIds(*second).size(), 2);
    EXPECT_EQ(gridIds(*first), (QList<qlonglong>{normal}));
}

TEST_F(TimetableEditorTest, ExitClosesAndAnnouncesIt) {
    auto form = openEditor();
    QSignalSpy closed(form.get(), &TForm_sjbp::closed);
    click(form.get(), "Button4");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(closed.count(), 1);
}
TEST_F(TimetableEditorTest, MainWindowOpensEditorsAfterThePasswordAndReloadsWhenOneCloses) {
    FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(8, 0))); // a Monday
    db.setSetting(QStringLiteral("星期一"), kNormal);
    TForm_main_vorn main(db.dm());
    const int before = db.dm().qry_show->rowCount();

    // A wrong password opens nothing.
    db.setSetting(QStringLiteral("密码"), QStringLiteral("secret"));
    onNextModal([](QDialog* prompt) {
        child<QLineEdit>(prompt, "Edit1")->setText(QStringLiteral("wrong"));
        child<QPushButton>(prompt, "Button1")->click();
    });
    main.ToolButton5->click();
    EXPECT_TRUE(main.findChildren<TForm_sjbp*>().isEmpty());

    for (int i = 0; i < 2; ++i) {
        onNextModal([](QDialog* prompt) {
            child<QLineEdit>(prompt, "Edit1")->setText(QStringLiteral("secret"));
            child<QPushButton>(prompt, "Button1")->click();
        });
        main.ToolButton5->click();
    }
    const QList<TForm_sjbp*> editors = main.findChildren<TForm_sjbp*>();
    ASSERT_EQ(editors.size(), 2); // each press opens its own window
    QPointer<TForm_sjbp> editor = editors.first();
    EXPECT_TRUE(editor->isVisible());
    EXPECT_FALSE(editor->isModal());

    db.addEntry(kNormal, "08:30:00", "08:40:00", "/m/a.mp3");
    click(editor, "Button4");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editor.isNull());
    EXPECT_EQ(db.dm().qry_show->rowCount(), before + 1);
    EXPECT_EQ(main.findChildren<TForm_sjbp*>().size(), 1);
}
} // namespace

TEST_F(TimetableEditorTest, KeysModifyAndDeleteTheMarkedEntryAndEscCloses) {
    db.addEntry(kNormal, "08:00:00", "08:10:00", "/m/a.mp3");
    const qlonglong second = db.addEntry(kNormal, "09:00:00", "09:10:00", "/m/b.mp3");
    auto form = openEditor();
    auto* grid = child<QTableView>(form.get(), "DBGrid1");
    // Keys reach the window that is active (a closed dialog leaves none).
    auto activate = [&] {
        form->activateWindow();
        grid->setFocus();
        return QTest::qWaitForWindowActive(form.get());
    };
    ASSERT_TRUE(activate());
    grid->selectRow(1);

    bool modified = false;
    onNextModal([&](QDialog* d) {
        modified = d->objectName() == QStringLiteral("Form_sjbp_edit");
        d->reject();
    });
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_TRUE(modified) << "Enter opens the edit dialog";

    messages.nextAnswer(MessageService::Answer::Ok);
    ASSERT_TRUE(activate());
    grid->selectRow(1);
    QTest::keyClick(grid, Qt::Key_Delete);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("确定要删除此行数据吗?"));
    EXPECT_FALSE(gridIds(*form).contains(second));

    QSignalSpy closed(form.get(), &TForm_sjbp::closed);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(TimetableEditorTest, OpensAtTheSizeItWasLeftAt) {
    {
        auto form = openEditor();
        QCoreApplication::processEvents();
        form->resize(760, 540);
        form->close();
    }
    auto again = openEditor();
    EXPECT_EQ(again->size(), QSize(760, 540));
}
