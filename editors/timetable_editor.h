#pragma once
// The tab "时间表编辑": the name of the timetable being edited (typed or chosen), its
// programmes in the grid DBGrid2 (bound to qsjcx), "新增", "修改", "删除一条", "删除全部", and
// "导入" of every programme of another timetable. A timetable exists as the rows of b_sjb
// sharing one sjmc: it comes into being with its first programme and goes with its last.
//
// Adding and changing go through the programme editor TFormbjjm, shown modally.

#include "editors/programme_editor.h"

#include <QObject>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QWidget;

// What the tab needs from the main window, handed down by app/.
struct TimetableEditorContext
{
    // The tab page the editor fills.
    QWidget *tab = nullptr;
    // Passed on to every programme editor it opens.
    ProgrammeEditorHooks programmeHooks;
    // Shows a programme editor modally; QDialog::exec when empty. Tests fill the dialog
    // here instead.
    std::function<void(TFormbjjm &dialog)> showProgrammeEditor;
};

class TimetableEditorTab : public QObject
{
    Q_OBJECT
public:
    explicit TimetableEditorTab(TimetableEditorContext context, QObject *parent = nullptr);

    QLabel *Label3, *Label4, *Label5;
    QComboBox *ComboBox1;  // editable: the timetable being edited
    QComboBox *ComboBox2;  // the source timetable of "导入"
    QPushButton *BitBtn17; // "导入"
    QTableView *DBGrid2;   // the programmes of ComboBox1's timetable (qsjcx)
    QPushButton *BitBtn18; // "新增"
    QPushButton *BitBtn19; // "删除一条"
    QPushButton *BitBtn20; // "修改"
    QPushButton *BitBtn21; // "删除全部"

    // Loads the name lists and the grid; runs each time the tab is selected.
    void load();
    void ComboBox1Change();
    void BitBtn17Click();
    void BitBtn18Click();
    void BitBtn20Click();
    void BitBtn19Click();
    void BitBtn21Click();

private:
    // Fills both name lists from b_sjb; returns false (reported) on a database error.
    bool fillNameLists();
    void openGrid(const QString &name);
    void showEditor(TFormbjjm &dialog);

    TimetableEditorContext context_;
    bool loading_ = false;
};
