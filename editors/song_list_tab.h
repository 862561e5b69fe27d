#pragma once
// The tab "歌曲列表编辑": the saved song lists in DBGrid1 (qgqlbhz, one row per list name,
// the path of the list's archive), the songs of the clicked list in Memo1, "新建列表" and
// "打开列表" through the song-list dialog TFormxzgqlb, "删除一条" (the list and its archive)
// and "清除全部" (every list; the archives stay on disk).

#include "editors/song_selection.h"

#include <QObject>

#include <functional>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QWidget;

// What the tab needs from the main window, handed down by app/.
struct SongListTabContext
{
    // The tab page the editor fills.
    QWidget *tab = nullptr;
    // Passed on to every song-list dialog it opens.
    SongSelectionHooks dialogHooks;
    // Shows a song-list dialog modally; QDialog::exec when empty. Tests drive the dialog
    // here instead.
    std::function<void(TFormxzgqlb &dialog)> showDialog;
};

class SongListTab : public QObject
{
    Q_OBJECT
public:
    explicit SongListTab(SongListTabContext context, QObject *parent = nullptr);

    QTableView *DBGrid1;   // the saved lists (qgqlbhz)
    QGroupBox *GroupBox6;  // "包括的歌曲内容"
    QPlainTextEdit *Memo1; // the songs of the clicked list, by file name
    QPushButton *BitBtn12; // "新建列表"
    QPushButton *BitBtn13; // "打开列表"
    QPushButton *BitBtn14; // "删除一条"
    QPushButton *BitBtn15; // "清除全部"

    // Opens the list of saved lists; runs each time the tab is selected.
    void load();
    void DBGrid1CellClick();
    void BitBtn12Click();
    void BitBtn13Click();
    void BitBtn14Click();
    void BitBtn15Click();

private:
    // The name of the grid's current list; empty when the grid is closed or empty.
    QString currentList() const;
    void reopenLists();
    void showDialog();

    SongListTabContext context_;
};

// The timetables that have a programme playing the song list `name`, by name.
QStringList timetablesUsingSongList(const QString &name);
