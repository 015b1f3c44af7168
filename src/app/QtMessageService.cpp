#include "app/QtMessageService.h"

#include "app/VornApplication.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <cstdio>

MessageService::Answer QtMessageService::show(const QString& text, const QString& caption,
                                              Icon icon, Buttons buttons) {
    // A box without a caption of its own shows the application title.
    const QString title = caption.isEmpty() ? VornApplication::title() : caption;
    if (qEnvironmentVariable("VORN_MESSAGES") == QLatin1String("stderr")) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(title), qUtf8Printable(text));
        std::fflush(stderr);
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
    }
    const std::unique_ptr<QMessageBox> box = makeBox(text, title, icon, buttons);
    switch (box->exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

int QtMessageService::minimumWidthFor(const QString& caption) {
    // Title bars use a larger, often bold font and keep room for the window
    // menu and the close button on either side.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    return std::max(280, QFontMetrics(titleFont).horizontalAdvance(caption) + 160);
}

std::unique_ptr<QMessageBox> QtMessageService::makeBox(const QString& text, const QString& caption,
                                                       Icon icon, Buttons buttons) {
    auto box = std::make_unique<QMessageBox>(QApplication::activeWindow());
    box->setWindowTitle(caption);
    box->setText(text);
    switch (icon) {
    case Icon::None:
        box->setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box->setIcon(QMessageBox::Information);
        break;
    case Icon::Question:
        box->setIcon(QMessageBox::Question);
        break;
    case Icon::Warning:
        box->setIcon(QMessageBox::Warning);
        break;
    case Icon::Error:
        box->setIcon(QMessageBox::Critical);
        break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box->setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box->setDefaultButton(QMessageBox::Yes);
        break;
    }
    // QMessageBox sizes itself to its text; a spacer across the bottom row
    // keeps it from getting narrower than its caption needs.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(
            new QSpacerItem(minimumWidthFor(caption), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
            grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}
