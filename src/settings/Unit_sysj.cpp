#include "settings/Unit_sysj.h"

#include "base/MessageService.h"
#include "base/Services.h"
#include "data/datamodule.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QSlider>
#include <QTimeEdit>
#include <QVBoxLayout>

TForm_sysj* Form_sysj = nullptr;

namespace {
QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QTimeEdit* timePicker(QWidget* parent, const char* name) {
    auto* picker = new QTimeEdit(parent);
    picker->setObjectName(QLatin1String(name));
    picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    picker->setTime(QTime(0, 0));
    return picker;
}
} // namespace

TForm_sysj::TForm_sysj(TDataModule1& dm, QWidget* owner) : QWidget(owner, Qt::Window), m_dm(dm) {
    Form_sysj = this;
    setObjectName(QStringLiteral("Form_sysj"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("系统设置"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto* layout = new QVBoxLayout(this);

    auto* titleRow = new QHBoxLayout;
    Label1 = new QLabel(tr("软件标题："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    titleRow->addWidget(Label1);
    titleRow->addWidget(Edit1, 1);
    layout->addLayout(titleRow);

    CheckBox3 = checkBox(this, "CheckBox3", tr("开机时启动此系统"));
    layout->addWidget(CheckBox3);

    auto* shutdownBox = new QGroupBox(this);
    auto* grid = new QGridLayout(shutdownBox);
    CheckBox1 = checkBox(shutdownBox, "CheckBox1", tr("定时关机1 (24时制)："));
    DateTimePicker1 = timePicker(shutdownBox, "DateTimePicker1");
    CheckBox5 = checkBox(shutdownBox, "CheckBox5", tr("定时关机2 (24时制)："));
    DateTimePicker2 = timePicker(shutdownBox, "DateTimePicker2");
    CheckBox6 = checkBox(shutdownBox, "CheckBox6", tr("定时关机3 (24时制)："));
    DateTimePicker3 = timePicker(shutdownBox, "DateTimePicker3");
    grid->addWidget(CheckBox1, 0, 0);
    grid->addWidget(DateTimePicker1, 0, 1);
    grid->addWidget(CheckBox5, 1, 0);
    grid->addWidget(DateTimePicker2, 1, 1);
    grid->addWidget(CheckBox6, 2, 0);
    grid->addWidget(DateTimePicker3, 2, 1);
    CheckBox2 = checkBox(shutdownBox, "CheckBox2", tr("关机前30秒提示"));
    grid->addWidget(CheckBox2, 3, 0, 1, 2);
    layout->addWidget(shutdownBox);

    CheckBox4 = checkBox(this, "CheckBox4", tr("此系统启动时自动设置音量为以下值："));
    layout->addWidget(CheckBox4);
    auto* volumeRow = new QHBoxLayout;
    Label4 = new QLabel(tr("音量："), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(0, SystemSettings::volumeMaxPosition);
    TrackBar1->setPageStep(1);
    TrackBar1->setSingleStep(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(1);
    volumeRow->addWidget(Label4);
    volumeRow->addWidget(TrackBar1, 1);
    layout->addLayout(volumeRow);
    Label4->hide();
    TrackBar1->hide();

    auto* outputRow = new QHBoxLayout;
    auto* outputLabel = new QLabel(tr("声音输出："), this);
    outputCombo = new QComboBox(this);
    outputCombo->setObjectName(QStringLiteral("outputCombo"));
    outputCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    outputCombo->setMinimumContentsLength(16);
    outputCombo->addItem(tr("系统默认"), QString());
    testSoundButton = new QPushButton(tr("测试声音"), this);
    testSoundButton->setObjectName(QStringLiteral("testSoundButton"));
    outputRow->addWidget(outputLabel);
    outputRow->addWidget(outputCombo, 1);
    outputRow->addWidget(testSoundButton);
    layout->addLayout(outputRow);
    outputNote = new QLabel(this);
    outputNote->setObjectName(QStringLiteral("outputNote"));
    outputNote->setWordWrap(true);
    layout->addWidget(outputNote);

    auto* buttons = new QHBoxLayout;
    Button1 = new QPushButton(tr("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(tr("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);
    resize(420, 380);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    connect(CheckBox1, &QCheckBox::clicked, this, &TForm_sysj::CheckBox1Click);
    connect(CheckBox5, &QCheckBox::clicked, this, &TForm_sysj::CheckBox5Click);
    connect(CheckBox6, &QCheckBox::clicked, this, &TForm_sysj::CheckBox6Click);
    connect(CheckBox4, &QCheckBox::clicked, this, &TForm_sysj::CheckBox4Click);
    connect(Button1, &QPushButton::clicked, this, &TForm_sysj::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_sysj::Button2Click);
    connect(testSoundButton, &QPushButton::clicked, this, &TForm_sysj::playTestSound);
    // Esc is 取消, as in a dialog.
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &TForm_sysj::Button2Click);

    FormCreate();

    AudioOutputs* outputs = Services::audioOutputs();
    testSoundButton->setEnabled(outputs != nullptr);
    if (outputs) {
        connect(outputs, &AudioOutputs::listed, this, &TForm_sysj::showOutputs);
        connect(outputs, &AudioOutputs::testToneDone, this, &TForm_sysj::testSoundDone);
        const QString forced = outputs->forced();
        if (!forced.isEmpty()) {
            // The output set from outside wins over any choice made here.
            outputCombo->setEnabled(false);
            m_forcedNote = tr("声音输出由环境变量 VORN_AUDIO_SINK 指定：%1").arg(forced);
            outputNote->setText(m_forcedNote);
        }
        outputs->list();
    }
}

TForm_sysj::~TForm_sysj() {
    if (Form_sysj == this)
        Form_sysj = nullptr;
}

SystemSettingsValues TForm_sysj::values() const {
    SystemSettingsValues v;
    v.title = Edit1->text();
    v.autostart = CheckBox3->isChecked();
    v.shutdownOn = {CheckBox1->isChecked(), CheckBox5->isChecked(), CheckBox6->isChecked()};
    v.shutdownTime = {DateTimePicker1->time(), DateTimePicker2->time(), DateTimePicker3->time()};
    v.countdown = CheckBox2->isChecked();
    v.volumeOn = CheckBox4->isChecked();
    v.volumePosition = TrackBar1->value();
    v.output = outputCombo->currentData().toString();
    return v;
}

void TForm_sysj::setValues(const SystemSettingsValues& v) {
    Edit1->setText(v.title);
    CheckBox3->setChecked(v.autostart);
    CheckBox1->setChecked(v.shutdownOn[0]);
    CheckBox5->setChecked(v.shutdownOn[1]);
    CheckBox6->setChecked(v.shutdownOn[2]);
    DateTimePicker1->setTime(v.shutdownTime[0]);
    DateTimePicker2->setTime(v.shutdownTime[1]);
    DateTimePicker3->setTime(v.shutdownTime[2]);
    CheckBox2->setChecked(v.countdown);
    CheckBox4->setChecked(v.volumeOn);
    TrackBar1->setValue(v.volumePosition);
    selectOutput(v.output);
    CheckBox1Click();
    CheckBox5Click();
    CheckBox6Click();
    CheckBox4Click();
}

void TForm_sysj::FormCreate() {
    SystemSettingsValues v = values();
    try {
        SystemSettings(m_dm).load(v);
    } catch (const std::exception& e) {
        // What was read before the failing value is shown; the rest stays as it was.
        setValues(v);
        msg::report(e);
        return;
    }
    setValues(v);
}

void TForm_sysj::FormShow() {
    SystemSettingsValues v = values();
    try {
        SystemSettings(m_dm).loadTimes(v);
    } catch (const std::exception& e) {
        setValues(v);
        msg::report(e);
        return;
    }
    setValues(v);
}

void TForm_sysj::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_sysj::CheckBox1Click() {
    DateTimePicker1->setEnabled(CheckBox1->isChecked());
}

void TForm_sysj::CheckBox5Click() {
    DateTimePicker2->setEnabled(CheckBox5->isChecked());
}

void TForm_sysj::CheckBox6Click() {
    DateTimePicker3->setEnabled(CheckBox6->isChecked());
}

void TForm_sysj::CheckBox4Click() {
    const bool on = CheckBox4->isChecked();
    Label4->setVisible(on);
    TrackBar1->setVisible(on);
}

void TForm_sysj::selectOutput(const QString& sink) {
    int index = outputCombo->findData(sink);
    if (index < 0) {
        // Chosen before and not found now (a USB card unplugged): it stays
        // the choice, and is used again once it is back.
        outputCombo->addItem(tr("%1（未连接）").arg(sink), sink);
        index = outputCombo->count() - 1;
    }
    outputCombo->setCurrentIndex(index);
}

void TForm_sysj::showOutputs(const QList<AudioOutput>& outputs) {
    const QString chosen = outputCombo->currentData().toString();
    outputCombo->clear();
    outputCombo->addItem(tr("系统默认"), QString());
    for (const AudioOutput& output : outputs)
        outputCombo->addItem(output.name, output.sink);
    selectOutput(chosen);
}

void TForm_sysj::playTestSound() {
    AudioOutputs* outputs = Services::audioOutputs();
    if (!outputs || !testSoundButton->isEnabled())
        return;
    // One tone at a time; the answer comes when it has been played.
    testSoundButton->setEnabled(false);
    outputNote->setText(tr("正在播放测试声音……"));
    outputs->playTestTone(outputCombo->currentData().toString());
}

void TForm_sysj::testSoundDone(const QString& problem) {
    testSoundButton->setEnabled(true);
    QString text = problem.isEmpty() ? tr("测试声音已播放。没有听到声音时，请检查音箱和音量。")
                                     : tr("测试声音无法播放：%1").arg(problem);
    if (!m_forcedNote.isEmpty())
        text = m_forcedNote + QLatin1Char('\n') + text;
    outputNote->setText(text);
}

void TForm_sysj::Button1Click() {
    try {
        const SystemSettingsValues v = values();
        const SavedSystemSettings saved = SystemSettings(m_dm).save(
            v, Services::autostart(), QCoreApplication::applicationFilePath());
        // The devices play to it from their next song on.
        if (AudioOutputs* outputs = Services::audioOutputs())
            outputs->use(v.output);
        emit shutdownTimesChanged(
            {saved.shutdownTimes[0], saved.shutdownTimes[1], saved.shutdownTimes[2]});
        emit titleChanged(saved.title);
    } catch (const std::exception& e) {
        msg::report(e);
    }
    close();
}

void TForm_sysj::Button2Click() {
    close();
}
