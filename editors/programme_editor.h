#pragma once
// TFormbjjm "节目编辑": edits one programme of a timetable and writes it as one row of
// b_sjb per save. Opened modally by the timetable editor tab, to add a programme
// (programmeAddMode true) or to change the current row of qsjcx, which must be open on
// the timetable being edited.
//
// What the programme plays is decided at save (wjbz): "3" a folder chosen with "选择文件夹",
// "2" a song list (the extension contains "QK"), "1" a file, and "4" whenever the text
// holds "://". Lengths are read silently through player/media_length; a folder is
// measured off the user-interface thread while the progress bar moves and "取消" stops it.

#include "player/media_length.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimeEdit;

// What the dialog asks of its surroundings. Each empty member falls back to the
// desktop's own dialog; tests answer them directly.
struct ProgrammeEditorHooks
{
    // The file chooser: returns the chosen path, empty when cancelled.
    std::function<QString(QWidget *parent, const QString &filter)> chooseFile;
    // The folder chooser starting in `start`: returns the folder, empty when cancelled.
    std::function<QString(QWidget *parent, const QString &start)> chooseFolder;
    // Picks one of the saved song lists: returns its name (the path of its archive),
    // empty when cancelled. The default is the song-list chooser (editors/song_list_chooser),
    // which also makes a new list on the spot.
    std::function<QString(QWidget *parent)> chooseSongList;
    // Shows a modal dialog (the address picker) and returns its result.
    std::function<int(QDialog &dialog)> execDialog;
};

// True when the upper-cased extension of `path` (the text after the last dot of its name)
// contains "QK": the path names a song list.
bool isSongListPath(const QString &path);

// Process-wide: true when the programme editor was opened to add a programme, false to
// change the current row of qsjcx. Keeps its last value between uses.
inline bool programmeAddMode = true;

class TFormbjjm : public QDialog
{
    Q_OBJECT
public:
    explicit TFormbjjm(QWidget *parent = nullptr, ProgrammeEditorHooks hooks = {});
    ~TFormbjjm() override;

    // The play-mode texts offered by ComboBox1, in order.
    static const QStringList &playModes();
    // The filter of the file chooser (Qt's form of the description and pattern pairs).
    static QString fileFilter();

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;
    QLineEdit *Edit1;              // programme name
    QTimeEdit *dtp1;               // start time
    QTimeEdit *dtp2;               // end time
    QLineEdit *Edit2;              // file, song list, folder or network address; may be typed
    QPushButton *BitBtn1;          // "选择歌曲": a file or a song-list archive
    QPushButton *BitBtn7;          // "选择歌曲列表": one of the saved song lists
    QPushButton *BitBtn2;          // "选择文件夹"
    QPushButton *BitBtn5;          // "选择广播网址"
    QLineEdit *edit3;              // duration, read-only
    QLineEdit *Edit4;              // volume; empty means 100
    QComboBox *ComboBox1;          // play mode
    QProgressBar *pg1;             // folder measurement
    QPushButton *btnCancelMeasure; // "取消": stops a folder measurement
    QPushButton *BitBtn3;          // "保存"
    QPushButton *BitBtn4;          // "返回"
    QLineEdit *Edit5;              // hidden: timetable name, set by the caller
    QPushButton *BitBtn6;          // hidden: "重填"
    QListWidget *lbfiles2;         // hidden: the files of the chosen folder

    // True when the text of Edit2 came from the folder chooser.
    bool folderChosen = false;

    void FormShow();
    void BitBtn6Click();
    void BitBtn1Click();
    void BitBtn7Click();
    void BitBtn2Click();
    void BitBtn5Click();
    // Validates and writes the row; returns true when it was written.
    bool BitBtn3Click();
    void BitBtn4Click();

    // Measures `folder` into edit3 (the second half of "选择文件夹"); returns once the
    // measurement has finished or was cancelled, the window repainting meanwhile.
    void measureFolder(const QString &folder);
    bool measuring() const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void songListDuration(const QString &name);
    void setMeasuring(bool on);
    QString overlapWarning(const QTime &start, const QTime &end, int replacedIid) const;

    ProgrammeEditorHooks hooks_;
    FolderMeasurement *measurement_;
    bool measuring_ = false;
};
