#include "shell/About.h"

#include "shell/AboutLinks.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

const QColor TAboutFrm::linkHoverColor(128, 0, 0);
const QColor TAboutFrm::linkColor(0, 0, 0);

namespace {
QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

void setTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}
} // namespace

TAboutFrm::TAboutFrm(const AboutLinks::Contacts& contacts, QWidget* owner)
    : QDialog(owner), m_contacts(contacts) {
    setObjectName(QStringLiteral("AboutFrm"));
    setWindowTitle(tr("关于"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(86, 85);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setAttribute(Qt::WA_TranslucentBackground);
    const QPixmap picture(QStringLiteral(":/vorn/about.jpg"));
    if (!picture.isNull())
        Image1->setPixmap(
            picture.scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    Label1 = label(this, "Label1", tr("广播站播音系统"));
    Label1->setAlignment(Qt::AlignCenter);
    QFont titleFont = Label1->font();
    titleFont.setPixelSize(13);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    setTextColor(Label1, Qt::blue);

    Label2 = label(this, "Label2", tr("版    本：  V2.3"));
    // What the program is built on and under which licence it is passed on.
    Label4 = label(this, "Label4", tr("许    可：  基于 Qt 6 与 GStreamer（LGPL）"));
    Label4->setWordWrap(true);
    Label5 = label(this, "Label5", tr("技术支持："));
    Label6 = label(this, "Label6", contacts.phone);
    QFont numberFont = Label6->font();
    numberFont.setPixelSize(13);
    Label6->setFont(numberFont);
    Label7 = label(this, "Label7", contacts.mail);
    QFont linkFont = Label7->font();
    linkFont.setUnderline(true);
    Label7->setFont(linkFont);
    lbl1 = label(this, "lbl1", contacts.web);
    lbl1->setFont(linkFont);
    for (QLabel* link : {Label7, lbl1}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setMouseTracking(true);
        link->installEventFilter(this);
        setTextColor(link, linkColor);
    }
    // Only what the school has set is shown; nothing made up.
    Label5->setVisible(!contacts.isEmpty());
    Label6->setVisible(!contacts.phone.isEmpty());
    Label7->setVisible(!contacts.mail.isEmpty());
    lbl1->setVisible(!contacts.web.isEmpty());

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    Button2 = new QPushButton(tr("帮助"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setToolTip(tr("打开帮助页面（F1）"));
    connect(Button2, &QPushButton::clicked, this, &TAboutFrm::Button2Click);

    auto* lines = new QGridLayout;
    lines->addWidget(Label1, 0, 0, 1, 2);
    lines->addWidget(Label2, 1, 0, 1, 2);
    lines->addWidget(Label4, 2, 0, 1, 2);
    lines->addWidget(Label5, 3, 0, Qt::AlignTop);
    auto* contactLines = new QVBoxLayout;
    contactLines->setSpacing(2);
    contactLines->addWidget(Label6);
    contactLines->addWidget(Label7);
    contactLines->addWidget(lbl1);
    lines->addLayout(contactLines, 3, 1);
    lines->setColumnStretch(1, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(lines, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addStretch(1);
    layout->addWidget(Bevel1);
    layout->addWidget(Button2, 0, Qt::AlignHCenter);
    // Not resizable; as large as the design, or larger where a bigger font needs it.
    setFixedSize(sizeHint().expandedTo(QSize(369, 240)));

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
    AboutLinks::open(AboutLinks::mailUrl(m_contacts.mail));
}

void TAboutFrm::lbl1MouseMove() {
    setTextColor(lbl1, linkHoverColor);
}

void TAboutFrm::lbl1MouseLeave() {
    setTextColor(lbl1, linkColor);
}

void TAboutFrm::lbl1Click() {
    AboutLinks::open(AboutLinks::webUrl(m_contacts.web));
}

void TAboutFrm::Button2Click() {
    AboutLinks::open(AboutLinks::helpUrl());
}
