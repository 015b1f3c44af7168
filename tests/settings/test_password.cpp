#include "FakeClock.h"
#include "FakeMediaDevice.h"
#include "ModalHelper.h"
#include "RecordingMessageService.h"
#include "TestDatabase.h"

#include "app/Unit_main_vorn.h"
#include "settings/Password.h"
#include "settings/Unit_mm.h"
#include "settings/Unit_mmsj.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using Icon = MessageService::Icon;

class PasswordTest : public ::testing::Test {
protected:
    RecordingMessageService messages;
    TestDatabase db;
    TDataModule1& dm = db.dm();
};

TEST_F(PasswordTest, PromptComparesTrimmedTypingWithTheStoredText) {
    db.setSetting("密码", "Abc123");
    password_ok = 0;
    EXPECT_TRUE(Password::check(dm, "  Abc123\t"));
    EXPECT_EQ(password_ok, 1);
    EXPECT_TRUE(messages.shown().isEmpty());

    password_ok = 0;
    EXPECT_FALSE(Password::check(dm, "abc123")) << "letter case counts";
    EXPECT_EQ(password_ok, 0);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, "密码错误。");
    EXPECT_EQ(messages.last().caption, "错误");
    EXPECT_EQ(messages.last().icon, Icon::Error);

    db.setSetting("密码", " padded ");
    EXPECT_FALSE(Password::check(dm, " padded ")) << "a stored blank can never be matched";
}

TEST_F(PasswordTest, MissingRowReadsAsEmptyPassword) {
    db.exec("delete from system1 where name1='密码'");
    EXPECT_TRUE(Password::check(dm, ""));
    EXPECT_FALSE(Password::check(dm, "x"));
    // The change window accepts an empty current password; the update changes
    // no row and still reports success.
    messages.clear();
    EXPECT_EQ(Password::change(dm, "", "new", "new"), Password::ChangeResult::Changed);
    EXPECT_EQ(messages.texts(), QStringList{"修改密码成功。"});
    EXPECT_EQ(db.scalar("select count(*) from system1 where name1='密码'").toInt(), 0);
}

TEST_F(PasswordTest, ChangeShowsEachMessageInOrderOfItsChecks) {
    db.setSetting("密码", "old");
    // Mismatch wins even when the current password is also wrong.
    EXPECT_EQ(Password::change(dm, "wrong", "a", "b"), Password::ChangeResult::Mismatch);
    EXPECT_EQ(messages.last().text, "两次输入的密码不一致，请重新输入。");
    EXPECT_EQ(messages.last().caption, "出错");
    EXPECT_EQ(messages.last().icon, Icon::Error);

    EXPECT_EQ(Password::change(dm, "wrong", "a", "a"), Password::ChangeResult::WrongCurrent);
    EXPECT_EQ(messages.last().text, "输入的原密码不正确，请重新输入。");
    EXPECT_EQ(messages.last().caption, "出错");
    EXPECT_EQ(db.setting("密码"), "old");

    EXPECT_EQ(Password::change(dm, " old ", "  new;\"pw'  ", "new;\"pw'"),
              Password::ChangeResult::Changed);
    EXPECT_EQ(messages.last().text, "修改密码成功。");
    EXPECT_EQ(messages.last().caption, "提示");
    EXPECT_EQ(messages.last().icon, Icon::None);
    EXPECT_TRUE(db.setting("密码").startsWith(Password::hashPrefix)) << "stored as a digest";
    EXPECT_FALSE(Password::check(dm, "  new;\"pw'  x"));
    EXPECT_TRUE(Password::check(dm, "new;\"pw'")) << "the trimmed text was stored";
    EXPECT_TRUE(Password::check(dm, "  new;\"pw'  "));

    EXPECT_EQ(Password::change(dm, "new;\"pw'", "", ""), Password::ChangeResult::Changed);
    EXPECT_EQ(db.setting("密码"), "") << "no password: nothing to hide";
    EXPECT_TRUE(Password::check(dm, ""));
}

TEST_F(PasswordTest, APlainStoredPasswordIsReplacedByItsDigestWhenEntered) {
    db.setSetting("密码", "校园广播");
    EXPECT_FALSE(Password::check(dm, "wrong"));
    EXPECT_EQ(db.setting("密码"), "校园广播") << "a wrong try changes nothing";
    EXPECT_TRUE(Password::check(dm, "校园广播"));
    const QString digest = db.setting("密码");
    EXPECT_TRUE(digest.startsWith("pbkdf2-sha256$"));
    EXPECT_FALSE(digest.contains("校园广播"));
    EXPECT_TRUE(Password::check(dm, "校园广播"));
    EXPECT_FALSE(Password::check(dm, "校园广"));
    EXPECT_EQ(db.setting("密码"), digest) << "a digest stays as it is";
    // Salted: the same password gives another digest each time.
    EXPECT_NE(Password::hash("校园广播"), Password::hash("校园广播"));
    EXPECT_TRUE(Password::matches(Password::hash("校园广播"), "校园广播"));
    // A plain password that only looks like a digest is still compared as text.
    EXPECT_TRUE(Password::matches("pbkdf2-sha256$x", "pbkdf2-sha256$x"));
}

TEST(PasswordDigest, DerivesTheStandardPbkdf2Sha256Keys) {
    // Published test vectors of PBKDF2-HMAC-SHA256, so stored digests stay
    // readable by any other implementation; 40 bytes span two blocks.
    EXPECT_EQ(Password::pbkdf2Sha256("password", "salt", 1, 32).toHex(),
              "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
    EXPECT_EQ(Password::pbkdf2Sha256("password", "salt", 4096, 32).toHex(),
              "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
    EXPECT_EQ(Password::pbkdf2Sha256("passwordPASSWORDpassword",
                                     "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 40)
                  .toHex(),
              "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9");
}

TEST_F(PasswordTest, FailedWriteIsReportedAndNothingChanges) {
    db.setSetting("密码", "old");
    db.exec("create trigger no_update before update on system1 "
            "begin select raise(abort, 'disk full'); end");
    EXPECT_EQ(Password::change(dm, "old", "new", "new"), Password::ChangeResult::WriteFailed);
    EXPECT_EQ(messages.texts(), QStringList{"数据库写入出错!"});
    EXPECT_EQ(messages.last().caption, "错误");
    EXPECT_EQ(db.setting("密码"), "old");
}

TEST_F(PasswordTest, PromptWindowRetriesUntilRightOrCancelled) {
    db.setSetting("密码", "pw");
    TForm_mm prompt;
    EXPECT_EQ(prompt.windowTitle(), "请输入密码");
    auto* edit = child<QLineEdit>(&prompt, "Edit1");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(child<QPushButton>(&prompt, "Button1")->text(), "确定");
    EXPECT_EQ(child<QPushButton>(&prompt, "Button2")->text(), "取消");
    password_ok = 0;
    prompt.show();
    edit->setText("nope");
    child<QPushButton>(&prompt, "Button1")->click();
    EXPECT_TRUE(prompt.isVisible()) << "stays open after a wrong password";
    EXPECT_EQ(edit->text(), "nope");
    EXPECT_EQ(password_ok, 0);
    edit->setText("pw");
    child<QPushButton>(&prompt, "Button1")->click();
    EXPECT_FALSE(prompt.isVisible());
    EXPECT_EQ(password_ok, 1);
}

TEST_F(PasswordTest, ChangeWindowFocusesTheFieldToRetype) {
    db.setSetting("密码", "old");
    TForm_mmsj change;
    EXPECT_EQ(change.windowTitle(), "密码设置");
    change.show();
    QApplication::setActiveWindow(&change);
    child<QLineEdit>(&change, "Edit1")->setText("old");
    child<QLineEdit>(&change, "Edit2")->setText("a");
    child<QLineEdit>(&change, "Edit3")->setText("b");
    child<QPushButton>(&change, "Button1")->click();
    EXPECT_TRUE(change.isVisible());
    EXPECT_TRUE(child<QLineEdit>(&change, "Edit3")->hasFocus());
    child<QLineEdit>(&change, "Edit1")->setText("bad");
    child<QLineEdit>(&change, "Edit3")->setText("a");
    child<QPushButton>(&change, "Button1")->click();
    EXPECT_TRUE(child<QLineEdit>(&change, "Edit1")->hasFocus());
    child<QLineEdit>(&change, "Edit1")->setText("old");
    child<QPushButton>(&change, "Button1")->click();
    EXPECT_FALSE(change.isVisible());
    EXPECT_TRUE(Password::matches(db.setting("密码"), "a"));
}

class GuardTest : public PasswordTest {
protected:
    FakeClock clock;
    FakeMediaFactory devices;
    std::unique_ptr<TForm_main_vorn> window;
    void SetUp() override {
        db.setSetting("密码", "pw");
        window = std::make_unique<TForm_main_vorn>(dm);
        ASSERT_TRUE(window->FormCreate());
        window->show();
    }
    static void answerPrompt(const QString& typed, bool cancel) {
        whenModal([typed, cancel](QWidget* w) {
            if (cancel) {
                child<QPushButton>(w, "Button2")->click();
                return;
            }
            child<QLineEdit>(w, "Edit1")->setText(typed);
            child<QPushButton>(w, "Button1")->click();
            // A wrong password leaves the prompt open: cancel it then.
            if (w->isVisible())
                child<QPushButton>(w, "Button2")->click();
        });
    }
};

TEST_F(GuardTest, ClosingNeedsThePassword) {
    answerPrompt("", true);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible()) << "cancel keeps the desk open";

    answerPrompt("wrong", false);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(messages.texts(), QStringList{"密码错误。"});

    answerPrompt(" pw ", false);
    EXPECT_TRUE(window->close());
}

TEST_F(GuardTest, GuardedButtonsAskEveryTime) {
    int prompts = 0;
    for (const char* name : {"ToolButton5", "ToolButton10", "ToolButton1", "ToolButton14"}) {
        whenModal([&prompts](QWidget* w) {
            ++prompts;
            EXPECT_EQ(w->windowTitle(), "请输入密码");
            child<QPushButton>(w, "Button2")->click();
        });
        window->findChild<QToolButton*>(name)->click();
        EXPECT_EQ(password_ok, 0) << name;
    }
    EXPECT_EQ(prompts, 4);
}
