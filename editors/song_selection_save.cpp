// "保存列表" and closing of TFormxzgqlb.
#include "editors/song_selection.h"

#include "core/logging.h"
#include "core/message_box.h"
#include "core/program_folder.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "editors/programme_editor.h"
#include "editors/song_list_archive.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTime>
#include <QTimer>

#include <thread>

namespace {

void tell(QWidget *parent, const QString &text)
{
    qCWarning(lcSongLists).noquote() << text;
    MessageBox::information(parent, text);
}

struct ScratchSong
{
    QString path;
    QString name;
};

} // namespace

bool TFormxzgqlb::writeArchive(const QString &target, const QStringList &paths, QString *error)
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::atomic<bool> finished{false};
    bool ok = false;
    QEventLoop loop;
    QTimer poll; // moves the progress bar and notices the end of the copy
    pgWork->setRange(0, 1000);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        const qint64 all = total.load();
        if (all > 0)
            pgWork->setValue(static_cast<int>(done.load() * 1000 / all));
        if (finished.load())
            loop.quit();
    });
    std::thread writer([&] {
        ok = writeSongListArchive(target, paths, error, &cancel_, [&](qint64 d, qint64 t) {
            done.store(d);
            total.store(t);
        });
        finished.store(true);
    });
    poll.start(50);
    loop.exec();
    writer.join();
    return ok;
}

bool TFormxzgqlb::BitBtn4Click()
{
    if (busy_)
        return false;
    // A list of no songs saves nothing: no chooser, no file, no rows.
    QList<ScratchSong> songs;
    qint64 totalSecs = 0;
    try {
        TQuery *q = dbhouse().qls;
        q->close();
        q->setSql(Sql::selectScratch);
        q->open();
        for (q->first(); !q->eof(); q->next()) {
            songs.append({q->fieldText(QStringLiteral("wjpath")), q->fieldText(QStringLiteral("wjmc"))});
            const QTime t = timeFromDb(q->field(QStringLiteral("zsc")));
            totalSecs += t.isValid() ? QTime(0, 0).secsTo(t) : 0;
        }
        q->close();
    } catch (const DbError &e) {
        tell(this, e.text());
        return false;
    }
    if (songs.isEmpty())
        return false;

    QStringList paths;
    QList<ArchiveSong> header;
    QStringList gone;
    for (const ScratchSong &song : songs) {
        paths.append(song.path);
        const QFileInfo info(song.path);
        if (!info.isFile())
            gone.append(song.path);
        header.append({info.fileName(), info.size()});
    }
    if (!gone.isEmpty()) {
        tell(this, QStringLiteral("以下歌曲文件已找不到，列表没有保存：\n%1\n请先删除这些歌曲！")
                       .arg(gone.join(QLatin1Char('\n'))));
        return false;
    }
    const int fit = songsThatFit(header);
    if (fit < header.size()) {
        tell(this, QStringLiteral("歌曲太多，列表文件最多能保存约 %1 首歌曲！").arg(fit));
        return false;
    }

    QString target = hooks_.chooseSavePath ? hooks_.chooseSavePath(this, programFolder(), saveFilter())
                                           : QFileDialog::getSaveFileName(this, QStringLiteral("保存列表"),
                                                                          programFolder(), saveFilter());
    if (target.isEmpty())
        return false;
    // The programme editor knows a song list by "QK" in its extension: without it a
    // programme would take the archive for a single song.
    if (!isSongListPath(target))
        target += QStringLiteral(".qk");
    if (paths.contains(QFileInfo(target).absoluteFilePath())) {
        tell(this, QStringLiteral("列表文件不能保存在列表中的歌曲文件上，请换一个文件名！"));
        return false;
    }

    cancel_.store(false);
    setBusy(true, QStringLiteral("正在保存列表"));
    QString why;
    const bool written = writeArchive(target, paths, &why);
    setBusy(false, QString());
    if (!written) {
        tell(this, QStringLiteral("列表没有保存：%1！").arg(why));
        if (closeWhenIdle_)
            close();
        return false;
    }
    qCInfo(lcSongLists).noquote() << QStringLiteral("saved song list %1 (%2 songs)").arg(target).arg(songs.size());

    // The archive is complete: now the saved rows of that name are replaced, all at once.
    try {
        dbhouse().inTransaction([&] {
            TQuery *up = dbhouse().qup;
            up->close();
            up->setSql(Sql::deleteSavedListForSave);
            up->setParam(QStringLiteral("lbmc"), target);
            up->execSql();
            TQuery *in = dbhouse().qin;
            const QTime total = QTime(0, 0).addSecs(static_cast<int>(totalSecs % 86400));
            for (const ScratchSong &song : songs) {
                in->close();
                in->setSql(Sql::insertSavedSong);
                in->setParam(QStringLiteral("wjpath"), song.path);
                in->setParam(QStringLiteral("wjmc"), song.name);
                in->setParam(QStringLiteral("lbmc"), target);
                in->setParam(QStringLiteral("zsc"), total);
                in->execSql();
            }
        });
    } catch (const DbError &e) {
        tell(this, e.text());
        return false;
    }

    const bool more =
        MessageBox::askYesNo(this, QStringLiteral("询问"), QStringLiteral("保存成功，要继续添加歌列表吗？"));
    try {
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteScratch);
        up->execSql();
        if (more) {
            sb1Panel2->clear();
            sb1Note->clear();
            refresh();
        }
        TQuery *lists = dbhouse().qgqlbhz;
        lists->close();
        lists->setSql(Sql::selectSavedListNames);
        lists->open();
    } catch (const DbError &e) {
        tell(this, e.text());
    }
    if (!more)
        close();
    return true;
}

void TFormxzgqlb::BitBtn5Click()
{
    close();
}

void TFormxzgqlb::closeEvent(QCloseEvent *event)
{
    if (busy_) {
        // A measurement or a save is under way: stop it, and close once it has ended.
        cancel_.store(true);
        closeWhenIdle_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TFormxzgqlb::reject()
{
    if (busy_) {
        cancel_.store(true);
        closeWhenIdle_ = true;
        return;
    }
    QDialog::reject();
}

void TFormxzgqlb::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TFormxzgqlb::FormClose()
{
    try {
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteScratch);
        up->execSql();
        TQuery *q = dbhouse().qgqmx;
        if (q->isActive())
            refresh();
    } catch (const DbError &e) {
        qCWarning(lcSongLists).noquote() << QStringLiteral("could not empty the working list: %1").arg(e.text());
    }
}
