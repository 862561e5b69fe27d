#pragma once

// The operator's overrides from the pop-up menu of today's timetable grid: play the
// highlighted programme now (N3), stop it (N21), insert music by hand (N23), switch
// automatic playing off and on (N25), and the grid's double click, which opens the
// entry's path in the desktop's file manager.
//
// A programme started by hand is not counted by the dispatcher: it has no stop time and
// marks nothing; a programme that becomes due meanwhile is started over it.

#include "scheduler/broadcast_player.h"
#include "scheduler/schedule_store.h"
#include "scheduler/today_grid.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

class QAction;
class QTableView;
class QTimer;
class QWidget;

struct ManualOverridesContext
{
    QAction *N3 = nullptr;         // "手动播放此节目"
    QAction *N21 = nullptr;        // "停止手动播放节目"
    QAction *N23 = nullptr;        // "人工插播音乐"
    QAction *N25 = nullptr;        // "停止自动播放", ticked while automatic playing is off
    QTimer *tbf = nullptr;         // the dispatcher's tick
    QTableView *DBGrid4 = nullptr; // double click opens the entry's path (may be null)
    TodayGrid *grid = nullptr;
    ScheduleStore *store = nullptr;
    BroadcastPlayer *player = nullptr;
    FolderScanner *scanner = nullptr;
    QWidget *dialogParent = nullptr;
    // Opens the manual player window modally; handed in by the main window's wiring
    // (ManualOverrides::setManualPlayerOpener when the scheduler is built without it).
    std::function<void(QWidget *parent)> openManualPlayer;
    // Opens a location in the desktop; defaults to QDesktopServices::openUrl.
    std::function<void(const QUrl &)> openUrl;
};

class ManualOverrides : public QObject
{
    Q_OBJECT
public:
    explicit ManualOverrides(ManualOverridesContext context, QObject *parent = nullptr);

    void N3Click();
    void N21Click();
    void N23Click();
    void N25Click();
    void DBGrid4DblClick();

    void setManualPlayerOpener(std::function<void(QWidget *parent)> open) { c_.openManualPlayer = std::move(open); }

    bool automaticPlayStopped() const { return automaticPlayStopped_; }

    // The location the double click opens for a stored path: the folder itself, the
    // folder holding a file, a network address as it stands; empty when there is none.
    static QUrl locationFor(const QString &wjpath);

private:
    void stopAllPlayback();
    void emptyPlayList();
    void setOverridesEnabled(bool enabled);

    ManualOverridesContext c_;
    bool automaticPlayStopped_ = false;
    std::optional<TodayEntry> manualEntry_; // the programme started by hand, for the log
};
