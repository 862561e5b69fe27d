#pragma once

// Test doubles for the scheduler: a main player that follows the real player's
// Play/Stop rules closely enough to show what the scheduler asked of it, a folder
// scanner over the real file system, and today's working table in a fresh program folder.

#include "scheduler/broadcast_player.h"
#include "scheduler/programme_outcome.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "scheduler/dbhouse_schedule.h"
#include "support/today_rows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTableView>

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
    void appendToPlayList(const QStringList &paths) override
    {
        list.append(paths);
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
            if (outcome())
                outcome()->itemPlayed(current);
            return;
        }
        if (list.isEmpty() || itemIndex < 0)
            return;
        current = list.at(itemIndex);
        if (noSoundDevice) {
            if (outcome())
                outcome()->outputFailed();
            current.clear();
            return;
        }
        if (refuse.contains(current)) {
            if (outcome())
                outcome()->itemFailed(current, QStringLiteral("文件无法播放：") + current);
            current.clear();
            return;
        }
        playing = true;
        if (outcome())
            outcome()->itemPlayed(current);
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
    QStringList refuse;         // files the fake refuses to play (undecodable)
    bool noSoundDevice = false; // every track fails: the sound output cannot be opened
    QString current;            // track being played
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

// A fresh program folder whose database (made from the schema) holds today's working
// table and saved song lists, with the program's store and today's grid over it: the grid
// view shows the data module's qjrjm, as the main window's does.
class TodayTable
{
public:
    TodayTable()
    {
        openProgramDatabase();
        store = std::make_unique<DbhouseScheduleStore>(dbhouse());
        model = dbhouse().qjrjm;
        view.setModel(model);
        grid = std::make_unique<QueryTodayGrid>(&view, model);
    }
    ~TodayTable()
    {
        grid.reset();
        store.reset();
        view.setModel(nullptr);
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
        TodayRow row;
        row.sjmc = sjmc;
        row.jmmc = r.jmmc;
        row.kssj = r.kssj;
        row.jssj = r.jssj;
        row.wjbz = r.wjbz;
        row.wjpath = r.wjpath;
        row.bffs = r.bffs;
        row.yldx = r.yldx;
        row.over = r.over;
        row.ixh = ++rows_;
        return insertTodayRow(row);
    }

    void addSong(const QString &lbmc, const QString &path) { insertSavedSong(lbmc, path); }

    // Empties today's table.
    void clear() { clearToday(); }

    // Opens the grid on today's rows, first row highlighted.
    void openGrid()
    {
        model->close();
        model->setSql(Sql::selectTodayByName);
        model->setParam(QStringLiteral("sjmc"), sjmc);
        model->open();
        model->first();
        if (model->rowCount() > 0)
            view.setCurrentIndex(model->index(0, 0));
    }

    // over and bfzt of one row.
    std::pair<QString, QString> state(int iid) { return todayRowState(iid); }

    // A file that exists under the program folder.
    QString file(const QString &relative)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("x");
        return path;
    }

    FreshProgramFolder dir;
    QString sjmc = QStringLiteral("时间表1");
    TQuery *model = nullptr; // the data module's qjrjm
    QTableView view;
    std::unique_ptr<DbhouseScheduleStore> store;
    std::unique_ptr<QueryTodayGrid> grid;

private:
    int rows_ = 0;
};
