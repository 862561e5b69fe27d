#pragma once
// "选择歌曲列表" of the programme editor: the saved song lists with the songs of the one
// selected, and "新建列表" to make a list on the spot with the song-list dialog.

#include "editors/song_selection.h"

#include <QDialog>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

class SongListChooser : public QDialog
{
    Q_OBJECT
public:
    explicit SongListChooser(QWidget *parent = nullptr, SongSelectionHooks hooks = {});

    QListWidget *lbLists;    // the saved lists, by name (the archive's path)
    QPlainTextEdit *mmSongs; // the songs of the selected list, in play order
    QPushButton *btnNew;     // "新建列表"
    QPushButton *btnOk;      // "确定"
    QPushButton *btnBack;    // "返回"

    // Reloads the names; keeps `select` selected when it is among them.
    void loadLists(const QString &select = QString());
    // The selected list's name; empty when none is selected.
    QString chosen() const;
    // Opens the song-list dialog for a new list and selects the list it saved.
    void btnNewClick();
    // Shows a song-list dialog modally; QDialog::exec when empty.
    std::function<void(TFormxzgqlb &dialog)> showDialog;

private:
    void showSongs();

    SongSelectionHooks hooks_;
};

// Lets the user pick a saved song list: its name, empty when cancelled.
QString chooseSongList(QWidget *parent);
