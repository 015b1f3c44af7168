#pragma once

#include "editing/TimetableEntry.h"

#include <QDialog>
#include <functional>
#include <memory>

class MediaDevice;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class QVBoxLayout;

// The fields and rules shared by the add and the edit dialog of a timetable
// entry: name, start and end time, song or song list, duration and play mode.
class EntryDialogBase : public QDialog {
    Q_OBJECT
public:
    // Asks for a file to open; returns the chosen path, or an empty text when
    // the operator cancels. Tests replace it to answer without a dialog.
    using FileChooser =
        std::function<QString(QWidget* parent, const QString& title, const QString& filter)>;
    static void setFileChooser(FileChooser chooser);

    // The filter of OpenDialog1, as pairs of description and pattern.
    static const QString openFilter;
    // The same filter in the form QFileDialog takes (both letter cases listed,
    // since file names on this system are case-sensitive).
    static QString qtFilter(const QString& pairs);

    ~EntryDialogBase() override;

    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label2;
    QTimeEdit* DateTimePicker1;
    QLabel* Label3;
    QTimeEdit* DateTimePicker2;
    QLabel* Label7;
    QLabel* Label4;
    QLineEdit* Edit8;
    QPushButton* Button1;
    QLabel* Label6;
    QLabel* Label_longer;
    QLabel* Label5;
    QComboBox* ComboBox1;
    QLineEdit* Edit4;
    QPushButton* Button2;
    QPushButton* Button3;

    void Button1Click();
    void Button2Click();
    void DateTimePicker1Change();
    void DateTimePicker2Change();

    // What the operator should know before this entry is saved: an end
    // before the start, an overlap with another entry of the same timetable,
    // a file that does not exist. Empty when all is well.
    QStringList warnings(const TimetableEntry& entry) const;

protected:
    explicit EntryDialogBase(QWidget* owner);

    // The duration label for a file that is not measured.
    virtual QString unmeasuredDurationText() const = 0;
    // Writes the entry; false when the statement failed.
    virtual bool writeEntry(const TimetableEntry& entry) = 0;
    // "增加失败!" or "修改失败!".
    virtual QString writeFailedText() const = 0;
    virtual void afterWrite() {}
    // The ID of the entry being changed (-1 for a new one): it does not
    // overlap itself.
    virtual qlonglong editedId() const { return -1; }

    QString pickerDuration() const;
    // Sets both pickers without running the operator-change rules.
    void setTimesQuietly(const QTime& start, const QTime& end);
    QVBoxLayout* m_layout;

private:
    std::unique_ptr<MediaDevice> m_player; // MediaPlayer1, made on first use
};
