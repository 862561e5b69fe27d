#pragma once

// Test doubles for the scheduler: a main player that follows the real player's
// Play/Stop rules closely enough to show what the scheduler asked of it, a folder
// scanner over the real file system, and a day's working table in a temporary SQLite file.

#include "scheduler/broadcast_player.h"
#include "scheduler/schedule_store.h"
#include "scheduler/today_grid.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>

class FakePlayer : public BroadcastPlayer
{
public:
    void setLoopMode(bool on) override { loopMode = on; }
    void setRandomMode(bool on) override { randomMode = on; }
    void setVolumePosition(int position) override { volume = position; }
    void clearPlayList() override
    {
        list.clear();
        itemIndex = -1;
        listFileWrites.append(list);
    }
    void appendToPlayList(const QString &path) override
    {
        list.append(path);
        listFileWrites.append(list);
    }
    void selectFirstItem() override
    {
        if (itemIndex + 1 < list.size())
            itemIndex += 1;
    }
    void pressPlay() override
    {
        ++playPresses;
        if (paused) { // resume path: the paused track continues
            paused = false;
            playing = true;
            return;
        }
        if (list.isEmpty() || itemIndex < 0)
            return;
        current = list.at(itemIndex);
        playing = true;
    }
    void pressStop() override
    {
        ++stopPresses;
        if (!playing)
            return;
        playing = false;
        paused = false;
        current.clear();
    }
    void playUrl(const QString &url) override
    {
        streamUrl = url;
        streaming = true;
    }
    void stopUrl() override { streaming = false; }
    void showStreamPanel(bool shown) override { streamPanelShown = shown; }
    void setPlayListCaption(const QString &text) override { caption = text; }

    bool loopMode = false;
    bool randomMode = false;
    int volume = 85;
    QStringList list;
    QList<QStringList> listFileWrites; // the list as written after each change
    int itemIndex = -1;
    bool playing = false;
    bool paused = false;
    QString current; // track being played
    int playPresses = 0;
    int stopPresses = 0;
    QString streamUrl;
    bool streaming = false;
    bool streamPanelShown = false;
    QString caption = QStringLiteral("播放列表");
};

// Recursive scan, names sorted, folder's own files before its subfolders'.
class DirScanner : public FolderScanner
{
public:
    QStringList scan(const QString &folder, const QString &mask) override
    {
        QStringList out;
        QDir dir(folder);
        if (folder.isEmpty() || !dir.exists())
            return out;
        for (const QString &name : dir.entryList({mask}, QDir::Files | QDir::Hidden, QDir::Name))
            out.append(dir.filePath(name));
        for (const QString &sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            out.append(scan(dir.filePath(sub), mask));
        return out;
    }
};

// A temporary database holding today's working table and saved song lists, with the
// grid of today's timetable over it.
class TodayTable
{
public:
    TodayTable()
    {
        static int serial = 0;
        connection_ = QStringLiteral("dispatcher-test-%1").arg(++serial);
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
        exec(QStringLiteral("create table b_sjbjr (iid integer primary key autoincrement, sjmc text, jmmc text,"
                            " kssj text, jssj text, wjpath text, bfsc text, yldx real, bffs text, bfzt text,"
                            " wjbz text, over text default 'N', ixh integer)"));
        exec(QStringLiteral("create table b_gqlbmxbak (iid integer primary key autoincrement, wjpath text,"
                            " wjmc text, lbmc text, zsc text)"));
        store = std::make_unique<SqlScheduleStore>(db);
        view.setModel(&model);
        grid = std::make_unique<TableViewTodayGrid>(&view);
    }
    ~TodayTable()
    {
        grid.reset();
        store.reset();
        model.clear();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection_);
    }

    struct Row
    {
        QString jmmc;
        QString kssj;
        QString jssj;
        QString wjbz = QStringLiteral("1");
        QString wjpath;
        QString bffs = QStringLiteral("顺序播放");
        double yldx = 100;
        QString over = QStringLiteral("N");
    };

    // Inserts a row of today's timetable; returns its iid. Rows are numbered in the
    // order they are added, so add them by start time.
    int add(const Row &r)
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("insert into b_sjbjr(sjmc,jmmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz,over,ixh)"
                                 " values(:sjmc,:jmmc,:kssj,:jssj,:wjpath,'',:yldx,:bffs,'未播放',:wjbz,:over,:ixh)"));
        q.bindValue(QStringLiteral(":sjmc"), sjmc);
        q.bindValue(QStringLiteral(":jmmc"), r.jmmc);
        q.bindValue(QStringLiteral(":kssj"), r.kssj);
        q.bindValue(QStringLiteral(":jssj"), r.jssj);
        q.bindValue(QStringLiteral(":wjpath"), r.wjpath);
        q.bindValue(QStringLiteral(":yldx"), r.yldx);
        q.bindValue(QStringLiteral(":bffs"), r.bffs);
        q.bindValue(QStringLiteral(":wjbz"), r.wjbz);
        q.bindValue(QStringLiteral(":over"), r.over);
        q.bindValue(QStringLiteral(":ixh"), ++rows_);
        q.exec();
        return q.lastInsertId().toInt();
    }

    void addSong(const QString &lbmc, const QString &path)
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("insert into b_gqlbmxbak(wjpath,wjmc,lbmc,zsc) values(:p,'',:l,'00:03:00')"));
        q.bindValue(QStringLiteral(":p"), path);
        q.bindValue(QStringLiteral(":l"), lbmc);
        q.exec();
    }

    // Opens the grid on today's rows, first row highlighted.
    void openGrid()
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select * from b_sjbjr where sjmc= :sjmc  order by kssj "));
        q.bindValue(QStringLiteral(":sjmc"), sjmc);
        q.exec();
        model.setQuery(std::move(q));
        if (model.rowCount() > 0)
            view.setCurrentIndex(model.index(0, 0));
    }

    // over and bfzt of one row.
    std::pair<QString, QString> state(int iid)
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select over, bfzt from b_sjbjr where iid = :iid"));
        q.bindValue(QStringLiteral(":iid"), iid);
        q.exec();
        q.next();
        return {q.value(0).toString(), q.value(1).toString()};
    }

    void exec(const QString &sql)
    {
        QSqlQuery q(db);
        q.exec(sql);
    }

    // A file that exists under the temporary folder.
    QString file(const QString &relative)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("x");
        return path;
    }

    QTemporaryDir dir;
    QString sjmc = QStringLiteral("时间表1");
    QSqlDatabase db;
    QSqlQueryModel model;
    QTableView view;
    std::unique_ptr<SqlScheduleStore> store;
    std::unique_ptr<TableViewTodayGrid> grid;

private:
    QString connection_;
    int rows_ = 0;
};
