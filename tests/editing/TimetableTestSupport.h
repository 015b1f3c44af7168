#pragma once

#include "base/Services.h"
#include "editing/EntryDialogBase.h"
#include "support/FakeMediaDevice.h"
#include "support/RecordingMessageService.h"
#include "support/TestDatabase.h"

#include <QApplication>
#include <QDialog>
#include <QHash>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

// Shared set-up of the timetable editing tests: a fresh database, recorded
// message boxes, fake media devices that know some song lengths, and a file
// chooser that answers without a dialog.
class TimetableTest : public ::testing::Test {
protected:
    void SetUp() override {
        Services::setMediaDeviceFactory([this](QObject* parent) -> std::unique_ptr<MediaDevice> {
            auto device = std::make_unique<FakeMediaDevice>(parent);
            device->lengths = lengths;
            device->unplayable = unplayable;
            return device;
        });
        EntryDialogBase::setFileChooser(
            [this](QWidget*, const QString& title, const QString& filter) {
                chooserTitles << title;
                chooserFilters << filter;
                return chooserAnswer;
            });
    }
    void TearDown() override {
        Services::setMediaDeviceFactory({});
        EntryDialogBase::setFileChooser({});
    }

    // Acts on the next modal dialog once its event loop runs; a dialog the
    // action leaves open is rejected so that a test never hangs.
    static QTimer* onNextModal(std::function<void(QDialog*)> action) {
        auto* timer = new QTimer(qApp);
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, action = std::move(action)] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            timer->stop();
            timer->deleteLater();
            action(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        timer->start();
        return timer;
    }

    RecordingMessageService messages;
    TestDatabase db;
    QHash<QString, qint64> lengths;
    QSet<QString> unplayable;
    QString chooserAnswer;
    QStringList chooserTitles;
    QStringList chooserFilters;
};
