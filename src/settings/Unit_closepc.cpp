#include "settings/Unit_closepc.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

TForm_closepc* Form_closepc = nullptr;

TForm_closepc::TForm_closepc(QWidget* owner)
    : QDialog(owner), m_countdown(new ShutdownCountdown(this)) {
    Form_closepc = this;
    setObjectName(QStringLiteral("Form_closepc"));
    setWindowTitle(tr("关机提示："));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(true);

    Label1 = new QLabel(tr("计算机将在"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(m_countdown->labelText(), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont big = Label2->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 6);
    Label2->setFont(big);
    Label2->setStyleSheet(QStringLiteral("color: red;"));
    Label3 = new QLabel(tr("秒后自动关闭。"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label_error = new QLabel(this);
    Label_error->setObjectName(QStringLiteral("Label_error"));
    Label_error->setStyleSheet(QStringLiteral("color: red;"));
    Label_error->setWordWrap(true);
    Label_error->hide();
    Button1 = new QPushButton(tr("取消关机"), this);
    Button1->setObjectName(QStringLiteral("Button1"));

    auto* sentence = new QHBoxLayout;
    sentence->addWidget(Label1);
    sentence->addWidget(Label2);
    sentence->addWidget(Label3);
    sentence->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sentence);
    layout->addWidget(Label_error);
    layout->addLayout(buttons);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(m_countdown->interval());
    connect(Timer1, &QTimer::timeout, this, &TForm_closepc::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &TForm_closepc::Button1Click);
    connect(m_countdown, &ShutdownCountdown::labelChanged, Label2, &QLabel::setText);
    connect(m_countdown, &ShutdownCountdown::intervalChanged, Timer1,
            [this](int ms) { Timer1->setInterval(ms); });
    connect(m_countdown, &ShutdownCountdown::powerOffFailed, this, [this](const QString& error) {
        Label_error->setText(tr("关机失败：%1（一分钟后再试）").arg(error));
        Label_error->show();
    });

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    Timer1->start();
}

TForm_closepc::~TForm_closepc() {
    if (Form_closepc == this)
        Form_closepc = nullptr;
}

void TForm_closepc::Button1Click() {
    reject();
}

void TForm_closepc::Timer1Timer() {
    m_countdown->tick();
}

void TForm_closepc::done(int result) {
    // Closing in any way (the button, the title bar, Escape) cancels.
    Timer1->stop();
    if (Form_closepc == this)
        Form_closepc = nullptr;
    QDialog::done(result);
}
