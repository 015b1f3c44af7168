#include "shell/About.h"

#include "shell/AboutLinks.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

const QColor TAboutFrm::linkHoverColor(128, 0, 0);
const QColor TAboutFrm::linkColor(0, 0, 0);

namespace {
QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(x, y, w, h);
    return l;
}

void setTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}
} // namespace

TAboutFrm::TAboutFrm(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("AboutFrm"));
    setWindowTitle(tr("关于"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(369, 240);
    setModal(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(16, 24, 86, 85);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setAttribute(Qt::WA_TranslucentBackground);
    const QPixmap picture(QStringLiteral(":/vorn/about.jpg"));
    if (!picture.isNull())
        Image1->setPixmap(
            picture.scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    Label1 = label(this, "Label1", tr("广播站播音系统"), 112, 16, 240, 20);
    Label1->setAlignment(Qt::AlignCenter);
    QFont titleFont = Label1->font();
    titleFont.setPixelSize(13);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    setTextColor(Label1, Qt::blue);

    Label2 = label(this, "Label2", tr("版    本：  V2.3"), 120, 48, 230, 16);
    Label4 = label(this, "Label4", tr("作    者：  vorn 开发组"), 120, 70, 230, 16);
    Label5 = label(this, "Label5", tr("技术支持："), 120, 92, 70, 16);
    Label6 = label(this, "Label6", tr("电话 010-0000-0000"), 190, 92, 160, 16);
    QFont numberFont = Label6->font();
    numberFont.setPixelSize(13);
    Label6->setFont(numberFont);

    Label7 = label(this, "Label7", QString::fromLatin1(AboutLinks::supportMail), 120, 114, 230, 16);
    QFont linkFont = Label7->font();
    linkFont.setUnderline(true);
    Label7->setFont(linkFont);
    lbl1 = label(this, "lbl1", QString::fromLatin1(AboutLinks::supportWeb), 120, 136, 230, 16);
    for (QLabel* link : {Label7, lbl1}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setMouseTracking(true);
        link->installEventFilter(this);
        setTextColor(link, linkColor);
    }

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 176, 353, 4);

    Button2 = new QPushButton(tr("帮助"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(144, 196, 81, 25);
    connect(Button2, &QPushButton::clicked, this, &TAboutFrm::Button2Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

bool TAboutFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label7 || watched == lbl1) {
        const bool mail = watched == Label7;
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::Enter:
            mail ? Label7MouseMove() : lbl1MouseMove();
            break;
        case QEvent::Leave:
            mail ? Label7MouseLeave() : lbl1MouseLeave();
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                mail ? Label7Click() : lbl1Click();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutFrm::Label7MouseMove() {
    setTextColor(Label7, linkHoverColor);
}

void TAboutFrm::Label7MouseLeave() {
    setTextColor(Label7, linkColor);
}

void TAboutFrm::Label7Click() {
    AboutLinks::open(AboutLinks::mailUrl());
}

void TAboutFrm::lbl1MouseMove() {
    setTextColor(lbl1, linkHoverColor);
}

void TAboutFrm::lbl1MouseLeave() {
    setTextColor(lbl1, linkColor);
}

void TAboutFrm::lbl1Click() {
    AboutLinks::open(AboutLinks::webUrl());
}

void TAboutFrm::Button2Click() {
    AboutLinks::open(AboutLinks::helpUrl());
}
