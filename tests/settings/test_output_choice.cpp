#include "support/FakeAudioOutputs.h"
#include "support/RecordingMessageService.h"
#include "support/TestDatabase.h"

#include "data/ExtraTables.h"
#include "settings/SystemSettings.h"
#include "settings/Unit_sysj.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
const QString kUsb = QStringLiteral("pulsesink device=\"alsa_output.usb-Speaker\"");
const QString kCard = QStringLiteral("alsasink device=\"hw:1\"");

class OutputChoiceTest : public ::testing::Test {
protected:
    TestDatabase db;
    RecordingMessageService messages;
    FakeAudioOutputs outputs;

    OutputChoiceTest() {
        outputs.outputs = {{QStringLiteral("USB Speaker"), kUsb},
                           {QStringLiteral("HDA Intel (ALSA)"), kCard}};
    }

    QStringList comboTexts(const TForm_sysj& form) {
        QStringList texts;
        for (int i = 0; i < form.outputCombo->count(); ++i)
            texts << form.outputCombo->itemText(i);
        return texts;
    }
};
} // namespace

TEST_F(OutputChoiceTest, StoredChoiceIsReadAndWrittenAsItsOwnSetting) {
    SystemSettings settings(db.dm());
    SystemSettingsValues v;
    settings.load(v);
    EXPECT_TRUE(v.output.isEmpty()); // nothing stored: the system's default

    v.output = kUsb;
    settings.save(v, nullptr, QString());
    EXPECT_EQ(ExtraTables::setting(db.dm(), QStringLiteral("声音输出")), kUsb);
    SystemSettingsValues again;
    settings.load(again);
    EXPECT_EQ(again.output, kUsb);

    // Back to the default: stored as the empty text.
    v.output.clear();
    settings.save(v, nullptr, QString());
    settings.load(again);
    EXPECT_TRUE(again.output.isEmpty());
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(OutputChoiceTest, ListShowsTheDefaultFirstThenTheOutputsFoundLater) {
    ExtraTables::setSetting(db.dm(), QStringLiteral("声音输出"), kCard);
    TForm_sysj form(db.dm(), nullptr);
    // Until the outputs are found: the default and the stored choice.
    EXPECT_EQ(outputs.lists, 1);
    ASSERT_GE(form.outputCombo->count(), 2);
    EXPECT_EQ(form.outputCombo->itemText(0), QStringLiteral("系统默认"));
    EXPECT_EQ(form.outputCombo->currentData().toString(), kCard);
    EXPECT_TRUE(form.outputCombo->isEnabled());

    outputs.answerList();
    EXPECT_EQ(comboTexts(form),
              QStringList({QStringLiteral("系统默认"), QStringLiteral("USB Speaker"),
                           QStringLiteral("HDA Intel (ALSA)")}));
    EXPECT_EQ(form.outputCombo->currentText(), QStringLiteral("HDA Intel (ALSA)"));
}

TEST_F(OutputChoiceTest, ChosenOutputThatIsNotConnectedStaysChosen) {
    const QString gone = QStringLiteral("pulsesink device=\"alsa_output.usb-Old\"");
    ExtraTables::setSetting(db.dm(), QStringLiteral("声音输出"), gone);
    TForm_sysj form(db.dm(), nullptr);
    outputs.answerList();
    EXPECT_EQ(form.outputCombo->count(), 4);
    EXPECT_EQ(form.outputCombo->currentData().toString(), gone);
    EXPECT_TRUE(form.outputCombo->currentText().contains(QStringLiteral("未连接")));

    // Saving without touching it keeps it.
    form.Button1->click();
    EXPECT_EQ(ExtraTables::setting(db.dm(), QStringLiteral("声音输出")), gone);
}

TEST_F(OutputChoiceTest, OkStoresTheChoiceAndTheDevicesUseIt) {
    TForm_sysj* form = new TForm_sysj(db.dm(), nullptr);
    QPointer<TForm_sysj> watch(form);
    outputs.answerList();
    EXPECT_EQ(form->outputCombo->currentIndex(), 0);
    form->outputCombo->setCurrentIndex(1);
    form->Button1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(ExtraTables::setting(db.dm(), QStringLiteral("声音输出")), kUsb);
    EXPECT_EQ(outputs.used, QStringList({kUsb}));
}

TEST_F(OutputChoiceTest, CancelChangesNeitherTheSettingNorTheOutput) {
    ExtraTables::setSetting(db.dm(), QStringLiteral("声音输出"), kCard);
    TForm_sysj* form = new TForm_sysj(db.dm(), nullptr);
    outputs.answerList();
    form->outputCombo->setCurrentIndex(0);
    form->Button2->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ExtraTables::setting(db.dm(), QStringLiteral("声音输出")), kCard);
    EXPECT_TRUE(outputs.used.isEmpty());
}

TEST_F(OutputChoiceTest, TestSoundGoesToTheOutputShownAndReportsBack) {
    TForm_sysj form(db.dm(), nullptr);
    outputs.answerList();
    form.outputCombo->setCurrentIndex(2);
    form.testSoundButton->click();
    EXPECT_EQ(outputs.tones, QStringList({kCard}));
    // One at a time: the button waits for the answer.
    EXPECT_FALSE(form.testSoundButton->isEnabled());
    form.testSoundButton->click();
    EXPECT_EQ(outputs.tones.size(), 1);

    outputs.answerTone(QStringLiteral("Device or resource busy"));
    EXPECT_TRUE(form.testSoundButton->isEnabled());
    EXPECT_TRUE(form.outputNote->text().contains(QStringLiteral("Device or resource busy")));
    EXPECT_TRUE(messages.shown().isEmpty()); // told in the window, no box

    form.outputCombo->setCurrentIndex(0);
    form.testSoundButton->click();
    EXPECT_EQ(outputs.tones.last(), QString()); // the system's default
    outputs.answerTone();
    EXPECT_TRUE(form.outputNote->text().contains(QStringLiteral("测试声音已播放")));
}

TEST_F(OutputChoiceTest, OutputSetFromOutsideIsShownAndCannotBeChosen) {
    outputs.forcedSink = QStringLiteral("alsasink device=hw:2");
    TForm_sysj form(db.dm(), nullptr);
    outputs.answerList();
    EXPECT_FALSE(form.outputCombo->isEnabled());
    EXPECT_TRUE(form.outputNote->text().contains(QStringLiteral("VORN_AUDIO_SINK")));
    EXPECT_TRUE(form.outputNote->text().contains(QStringLiteral("alsasink device=hw:2")));
    EXPECT_TRUE(form.testSoundButton->isEnabled());
}

TEST_F(OutputChoiceTest, WindowWorksWithoutAnyOutputService) {
    Services::setAudioOutputs(nullptr);
    ExtraTables::setSetting(db.dm(), QStringLiteral("声音输出"), kCard);
    TForm_sysj form(db.dm(), nullptr);
    EXPECT_FALSE(form.testSoundButton->isEnabled());
    EXPECT_EQ(form.outputCombo->currentData().toString(), kCard);
    form.Button1->click();
    EXPECT_EQ(ExtraTables::setting(db.dm(), QStringLiteral("声音输出")), kCard);
}
