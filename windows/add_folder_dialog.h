#pragma once
// The add-folder dialog "打开目录": choose a place of this machine and a folder in it;
// "确定" appends the playable files directly in that folder (MP3, WAV, WMA, MIDI by their
// extension, without regard to case; subfolders are not entered) to the main play list,
// which rewrites its file, and closes. A folder without any file gets the message window
// and the dialog stays open; a folder that vanished or cannot be read is said so.

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <functional>

class PlayList;
class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;

// The writable places of this machine the place list offers: the home folder, the music
// folder, mounted removable media (under /media, /run/media, /mnt).
QStringList writablePlaces();

// What "确定" finds in a folder: the playable files' full paths in the folder's order and
// the position (in that order, every file counted) of the last one, -1 for none.
struct FolderFiles
{
    bool exists = false;
    bool readable = false;
    int fileCount = 0; // every file directly in the folder
    QStringList playable;
    int lastPlayablePosition = -1;
};
FolderFiles playableFilesIn(const QString &folder);

class TForm9 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm9(QWidget *parent = nullptr);

    QComboBox *DriveComboBox1;    // the places; choosing one roots the folder tree there
    QTreeView *DirectoryListBox1; // the folder tree; the current folder is the chosen one
    QPushButton *BitBtn1;         // "确定"

    // The play list "确定" appends to (not owned; may be null: nothing is added).
    void setPlayList(PlayList *list) { list_ = list; }
    // The window whose top-left corner the dialog takes when shown (the main window).
    void setAnchor(QWidget *anchor) { anchor_ = anchor; }
    // Shows a message modally (default: the message window).
    void setMessageShower(std::function<void(const QString &)> show) { showMessage_ = std::move(show); }

    // The chosen folder; empty when none is chosen.
    QString chosenFolder() const;
    // Chooses a folder (the place list and tree follow when it lies in one of the places).
    void chooseFolder(const QString &folder);

    void BitBtn1Click();
    // Opens the dialog modally, as "添加目录" does.
    void N16Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void DriveComboBox1Change();
    void fillPlaces();
    void message(const QString &text);

    QFileSystemModel *folders_;
    QString chosen_;
    QPointer<QWidget> anchor_;
    PlayList *list_ = nullptr;
    std::function<void(const QString &)> showMessage_;
};

// The program-wide instance, made by the entry routine.
inline TForm9 *Form9 = nullptr;
