#pragma once
// The main player's play list: full file paths in play order, the selected item, and the
// play-list file (mplay.dll in the program folder) that mirrors it. The file is
// rewritten whole, atomically and durably (on the disk before it replaces the old one),
// after every change; a fill of many items is one change, written once after the last. It is written as UTF-8, one path
// per line; reading takes UTF-8 and falls back to GB18030 for lists made by the Windows program, whose CR LF line ends
// are accepted too.

#include <QString>
#include <QStringList>

#include <functional>

class PlayList
{
public:
    // `filePath` empty: the list is kept in memory only.
    explicit PlayList(QString filePath = {});

    const QString &filePath() const { return filePath_; }
    const QStringList &items() const { return items_; }
    int count() const { return int(items_.size()); }
    bool isEmpty() const { return items_.isEmpty(); }
    QString item(int index) const { return items_.value(index); }

    // The selected item, -1 for none.
    int itemIndex() const { return itemIndex_; }
    // Selects `index`; anything outside the list selects nothing.
    void setItemIndex(int index);

    // Replaces the list with the file's paths (empty lines skipped) and selects the
    // first one. A missing or unreadable file leaves the list empty; false then.
    bool load();

    // Each of these changes the list and then rewrites the file.
    void append(const QString &path);
    void removeAt(int index);
    void clear();
    // Appends the paths in order, then writes the file once.
    void append(const QStringList &paths);
    // Appends each path that names an existing file, in order, then writes the file once.
    // Returns how many were appended.
    int appendExisting(const QStringList &paths);
    // Appends the existing MP3, then WAV, then MIDI files under `folder`.
    int appendFolder(const QString &folder);

    // Writes the file now. False (reason in lastError()) when it cannot be written;
    // the list in memory is unchanged and the next change tries again.
    bool save();
    const QString &lastError() const { return lastError_; }

    // Called after every change of the items or the selection (for the list's view).
    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

private:
    void notify() const
    {
        if (onChange_)
            onChange_();
    }

    QString filePath_;
    QStringList items_;
    int itemIndex_ = -1;
    QString lastError_;
    std::function<void()> onChange_;
};
