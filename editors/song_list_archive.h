#pragma once
// The song-list archive (".qk"): one file holding a list's songs, written when a list is
// saved. Nothing in the program reads an archive back; playing and editing use the rows
// of b_gqlbmxbak. The layout, all numbers as ASCII decimal text:
//
//   offset 0, 4 bytes   L, the header's length: its digits followed by 'a' up to 4 bytes
//                       ("13aa", "7aaa"); so L is at most 9999
//   offset 4, L bytes   the header: the number of songs N, then for each song in list order
//                       its file name (no folder) and its size in bytes, each line ending in
//                       CR LF. Names are written as UTF-8 (archives made by this program on
//                       Linux; the Windows program wrote its code page)
//   offset 4 + L        the songs' bytes one after another, in list order
//
// The header is built in memory; no "fileinf.txt" is written beside the program.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// The largest header the 4-byte length field can describe.
inline constexpr int kMaxArchiveHeaderBytes = 9999;

struct ArchiveSong
{
    QString name; // file name without folder
    qint64 size = 0;
};

// The header text of a list of songs.
QByteArray songListHeader(const QList<ArchiveSong> &songs);
// The 4-byte length field for a header of `length` bytes; empty when it does not fit.
QByteArray songListLengthField(qsizetype length);
// How many of `songs`, taken from the front, fit in a header of at most 9999 bytes.
int songsThatFit(const QList<ArchiveSong> &songs);

// Writes the archive of the song files `paths` (in list order) to `target`. The archive is
// written to a temporary file in the target's folder and renamed over `target` only once it
// is complete: on any failure or on `cancel` the temporary file is removed and an older
// file at `target` stays as it was. `progress` (called on the writing thread) gets the
// bytes copied so far and the total. Returns false with a reason in *error (naming the song
// that failed). Safe to call off the user-interface thread.
bool writeSongListArchive(const QString &target, const QStringList &paths, QString *error,
                          const std::atomic<bool> *cancel = nullptr,
                          const std::function<void(qint64 done, qint64 total)> &progress = {});
