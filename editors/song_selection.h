#pragma once
// TFormxzgqlb "编辑歌曲列表": builds one song list in the working table b_gqlbmx (shown in
// DBGrid1 through qgqmx) and saves it as a named list: the song-list archive at a path the
// user chooses (editors/song_list_archive) and the rows of b_gqlbmxbak under that path.
// Opened modally by the song-list tab, empty or with a copy of a saved list; the caller
// opens qgqmx on the working table first. The working table is empty once the dialog has
// closed, however it closed.
//
// Lengths are measured silently off the user-interface thread (player/media_length), and
// the archive is written off it too; the dialog keeps painting and shows progress.

#include "player/media_length.h"

#include <QDialog>

#include <atomic>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTableView;

// What the dialog asks of its surroundings. Each empty member falls back to the desktop's
// own dialog or the real measuring; tests answer them directly.
struct SongSelectionHooks
{
    // The file chooser (several files at once): the chosen paths, empty when cancelled.
    std::function<QStringList(QWidget *parent, const QString &filter)> chooseFiles;
    // The save chooser starting in `start`: the chosen path, empty when cancelled.
    std::function<QString(QWidget *parent, const QString &start, const QString &filter)> chooseSavePath;
    // Length of one song in seconds, negative when it cannot be read; runs off the
    // user-interface thread.
    FolderMeasurement::MeasureFn measure;
};

class TFormxzgqlb : public QDialog
{
    Q_OBJECT
public:
    explicit TFormxzgqlb(QWidget *parent = nullptr, SongSelectionHooks hooks = {});
    ~TFormxzgqlb() override;

    // The filters of the two choosers (Qt's form of the description and pattern pairs).
    static QString openFilter();
    static QString saveFilter();

    QPushButton *BitBtn1; // "添加歌曲"
    QPushButton *BitBtn2; // "清除全部"
    QPushButton *BitBtn3; // "删除一首"
    QPushButton *BitBtn4; // "保存列表"
    QPushButton *BitBtn5; // "返回"
    QTableView *DBGrid1;  // the working list (qgqmx)
    QStatusBar *sb1;
    QLabel *sb1Panel1;          // "总记录数："
    QLabel *sb1Panel2;          // the number of songs
    QLabel *sb1Note;            // what the last step skipped or is doing
    QProgressBar *pgWork;       // measuring or saving
    QPushButton *btnCancelWork; // "取消": stops measuring or saving

    // Measures the songs already in the working list (a saved list opened for editing):
    // each gets its own length; a song whose file is gone gets "00:00:00" and is named in
    // one message. Runs once when the dialog is first shown; returns when done.
    void FormShow();
    void BitBtn1Click();
    // Adds `files` in order (the second half of "添加歌曲"); returns when done.
    void addSongs(const QStringList &files);
    void BitBtn2Click();
    void BitBtn3Click();
    // Saves the list; true when the archive and the rows were written.
    bool BitBtn4Click();
    void BitBtn5Click();
    // True while songs are measured or an archive is written.
    bool busy() const { return busy_; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
    void done(int result) override;

private:
    // Empties b_gqlbmx (on every close).
    void FormClose();
    void refresh();
    void showCount();
    void setBusy(bool on, const QString &what);
    // Lengths of `files` measured on a thread of their own, in order (-1 for a failure);
    // empty when cancelled.
    QList<int> measure(const QStringList &files);
    // Writes the archive on a thread of its own; false with a reason.
    bool writeArchive(const QString &target, const QStringList &paths, QString *error);

    SongSelectionHooks hooks_;
    bool busy_ = false;
    bool shown_ = false;
    bool closeWhenIdle_ = false;
    std::atomic<bool> cancel_{false};
};
