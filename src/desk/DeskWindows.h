#pragma once

#include "data/AsRunLog.h"
#include "desk/PreAirCheck.h"

#include <QPushButton>
#include <QWidget>
#include <functional>

class CheckRunner;
class QComboBox;
class QDateEdit;
class QLabel;
class QListWidget;
class QSpinBox;
class QTableWidget;
class TDataModule1;

// The findings of the pre-air check for a chosen date. Not modal: the
// schedule and the desk go on while it is open.
class CheckWindow : public QWidget {
    Q_OBJECT
public:
    CheckWindow(CheckRunner& runner, QWidget* owner = nullptr);
    void checkDate(const QDate& date);
    void showResult(const PreAirCheck::Input& input, const QList<PreAirCheck::Finding>& findings);

    QDateEdit* DateEdit_day;
    QPushButton* Button_check;
    QLabel* Label_heading;
    QListWidget* List_findings;

private:
    CheckRunner& m_runner;
};

// One line on the desk: how today's check went; a click shows the findings.
class CheckPanel : public QPushButton {
    Q_OBJECT
public:
    CheckPanel(CheckRunner& runner, QWidget* parent = nullptr);
    int findingCount() const { return m_findings.size(); }
    const QList<PreAirCheck::Finding>& findings() const { return m_findings; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void take(const PreAirCheck::Input& input, const QList<PreAirCheck::Finding>& findings);
    void openWindow();
    void showAs(const QColor& colour, bool bold);

    CheckRunner& m_runner;
    PreAirCheck::Input m_input;
    QList<PreAirCheck::Finding> m_findings;
};

// "播出日志": the as-run log of a chosen day, filtered by kind, exported as CSV.
class AsRunLogWindow : public QWidget {
    Q_OBJECT
public:
    // Asks where to save; empty when cancelled. Tests replace it.
    using SaveChooser = std::function<QString(QWidget* parent, const QString& suggested)>;
    static void setSaveChooser(SaveChooser chooser);

    AsRunLogWindow(TDataModule1& dm, AsRunLog& log, QWidget* owner = nullptr);

    void load();
    // Writes the shown rows; false (after a message) when the file cannot be written.
    bool exportCsv();
    void saveKeepDays();

    QDateEdit* DateEdit_day;
    QComboBox* ComboBox_kind;
    QTableWidget* Grid_log;
    QPushButton* Button_refresh;
    QPushButton* Button_export;
    QSpinBox* SpinBox_keep;
    QPushButton* Button_keep;

private:
    TDataModule1& m_dm;
    AsRunLog& m_log;
    QList<LogRow> m_rows;
};
