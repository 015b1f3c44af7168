#pragma once

#include <QSize>
#include <QWidget>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;
class TDataModule1;
class TimetableEditor;
class TimetableNames;

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
    TimetableNames& names() { return *m_names; }

    // Asks for a timetable name; empty when cancelled. Tests replace it.
    using NameAsker = std::function<QString(QWidget* parent, const QString& title,
                                            const QString& label, const QString& suggested)>;
    static void setNameAsker(NameAsker asker);

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
    // Timetables by name: new, rename, copy, delete.
    QPushButton* Button_new;
    QPushButton* Button_rename;
    QPushButton* Button_copy;
    QPushButton* Button_remove;

    void FormCreate();
    void FormShow();
    void ComboBox1Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button_newClick();
    void Button_renameClick();
    void Button_copyClick();
    void Button_removeClick();

signals:
    // The window has closed: the owner reloads today's timetable.
    void closed();
    // Something was written (an entry or a timetable): the desk checks again.
    void edited();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void layoutGridColumns();
    void followCurrentRow(int row);

    // Fills both name lists again and shows the given timetable.
    void reloadNames(const QString& show);

    TimetableEditor* m_editor;
    TimetableNames* m_names;
};
