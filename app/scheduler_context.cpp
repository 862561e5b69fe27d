#include "app/scheduler_context.h"

#include "app/main_window.h"
#include "app/tray_notify_icon.h"
#include "core/clock.h"
#include "core/settings.h"
#include "db/dbhouse.h"

BroadcastSchedulerContext schedulerContextFor(TForm1 &form, BroadcastPlayer &player, FolderScanner &scanner)
{
    TForm1 *window = &form;
    BroadcastSchedulerContext c;
    c.owner = window;
    c.tbf = form.tbf;
    c.tjs = form.tjs;
    c.tgj = form.tgj;
    c.DBGrid4 = form.DBGrid4;
    c.todayQuery = dbhouse().qjrjm;
    c.N3 = form.N3;
    c.N21 = form.N21;
    c.N23 = form.N23;
    c.N25 = form.N25;
    c.BitBtn26 = form.BitBtn26;
    c.dialogParent = window;
    c.player = &player;
    c.scanner = &scanner;
    c.now = [] { return appClock().now(); };
    c.timetableName = [window] { return window->timetableName(); };
    c.strover = [] { return appSettings().strover; };
    c.stroff = [] { return appSettings().stroff; };
    c.strofftime = [] { return appSettings().strofftime; };
    c.shutdownHooks.hideTrayIcon = [window] {
        window->TrayNotifyIcon1->setIconVisible(false);
        window->TrayNotifyIcon1->setHideTask(false);
        window->show(); // the window comes back while the machine shuts down
    };
    c.shutdownHooks.closeMainWindow = [window] { window->close(); };
    return c;
}
