#pragma once

#include <QSize>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;
class TDataModule1;
class TimetableEditor;

// "时间表编辑": the entries of one timetable at a time, with add, modify,
// delete and the import of another timetable's entries.
class TForm_sjbp : public QWidget {
    Q_OBJECT
public:
    // Every column of a timetable readable without scrolling.
    static constexpr QSize defaultSize{860, 520};

    explicit TForm_sjbp(QWidget* owner = nullptr);
    ~TForm_sjbp() override;

    TimetableEditor& editor() { return *m_editor; }

    QLabel* Label2;
    QComboBox* ComboBox1;
    QTableView* DBGrid1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QGroupBox* GroupBox1;
    QLabel* Label3;
    QComboBox* ComboBox2;
    QPushButton* Button5;

    void FormCreate();
    void FormShow();
    void ComboBox1Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();

signals:
    // The window has closed: the owner reloads today's timetable.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void layoutGridColumns();
    void followCurrentRow(int row);

    TimetableEditor* m_editor;
};
