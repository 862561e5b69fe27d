#include "scheduler/manual_overrides.h"

#include "core/clock.h"
#include "db/as_run_log.h"

#include "core/logging.h"

#include "scheduler/play_list_filling.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QTableView>
#include <QTimer>

#include <exception>

ManualOverrides::ManualOverrides(ManualOverridesContext context, QObject *parent)
    : QObject(parent),
      c_(std::move(context))
{
    if (!c_.openUrl)
        c_.openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    c_.N25->setCheckable(true);
    c_.N25->setChecked(false);
    connect(c_.N3, &QAction::triggered, this, &ManualOverrides::N3Click);
    connect(c_.N21, &QAction::triggered, this, &ManualOverrides::N21Click);
    connect(c_.N23, &QAction::triggered, this, &ManualOverrides::N23Click);
    connect(c_.N25, &QAction::triggered, this, &ManualOverrides::N25Click);
    if (c_.DBGrid4)
        connect(c_.DBGrid4, &QAbstractItemView::doubleClicked, this, &ManualOverrides::DBGrid4DblClick);
}

void ManualOverrides::stopAllPlayback()
{
    // Stopping before an override never fails visibly.
    try {
        c_.player->pressStop();
        c_.player->stopUrl();
        c_.player->showStreamPanel(false);
    } catch (const std::exception &e) {
        qCWarning(lcScheduler).noquote() << QStringLiteral("stopping playback: %1").arg(QString::fromUtf8(e.what()));
    }
}

void ManualOverrides::emptyPlayList()
{
    c_.player->clearPlayList();
}

void ManualOverrides::setOverridesEnabled(bool enabled)
{
    c_.N23->setEnabled(enabled);
    c_.N25->setEnabled(enabled);
}

void ManualOverrides::N3Click()
{
    const std::optional<TodayEntry> highlighted = c_.grid->currentRow();
    if (!highlighted)
        return;
    stopAllPlayback();
    setOverridesEnabled(false);
    std::optional<TodayEntry> entry;
    try {
        entry = c_.store->entryById(highlighted->iid);
    } catch (const std::exception &e) {
        qCWarning(lcScheduler).noquote()
            << QStringLiteral("reading the programme: %1").arg(QString::fromUtf8(e.what()));
    }
    if (!entry)
        return; // the table was rebuilt meanwhile; nothing to play
    int items = -1;
    try {
        items = fillPlayList(*entry, *c_.player, *c_.store, *c_.scanner);
    } catch (const std::exception &e) {
        qCWarning(lcScheduler).noquote()
            << QStringLiteral("filling the play list: %1").arg(QString::fromUtf8(e.what()));
        return;
    }
    // A network programme is already playing: the fill hands its address to the stream player.
    if (entry->wjbz != QStringLiteral("4"))
        c_.player->pressPlay();
    c_.player->setPlayListCaption(QStringLiteral("播放列表 正在播放：") + highlighted->jmmc);
    AsRunRecord r;
    r.at = appClock().now();
    r.sjmc = entry->sjmc;
    r.jmmc = entry->jmmc;
    r.kssj = entry->kssj;
    r.event = AsRunEvent::manualStart;
    r.content = entry->wjpath;
    r.items = items;
    if (items == 0) {
        try {
            r.reason = emptyProgrammeReason(*entry, *c_.store);
        } catch (const std::exception &e) {
            r.reason = QString::fromUtf8(e.what());
        }
    }
    asRunLog().write(r);
    manualEntry_ = *entry;
}

void ManualOverrides::N21Click()
{
    AsRunRecord r;
    r.at = appClock().now();
    if (manualEntry_) {
        r.sjmc = manualEntry_->sjmc;
        r.jmmc = manualEntry_->jmmc;
        r.kssj = manualEntry_->kssj;
        r.content = manualEntry_->wjpath;
    }
    r.event = AsRunEvent::manualStop;
    asRunLog().write(r);
    manualEntry_.reset();
    stopAllPlayback();
    setOverridesEnabled(true);
    emptyPlayList();
    c_.player->setPlayListCaption(QStringLiteral("播放列表"));
}

void ManualOverrides::N25Click()
{
    if (automaticPlayStopped_) {
        c_.tbf->start();
        automaticPlayStopped_ = false;
    } else {
        stopAllPlayback();
        emptyPlayList();
        c_.tbf->stop();
        automaticPlayStopped_ = true;
    }
    // The action toggles its own tick when triggered; the flag above is what counts.
    c_.N25->setChecked(automaticPlayStopped_);
}

void ManualOverrides::N23Click()
{
    stopAllPlayback();
    emptyPlayList();
    c_.player->setPlayListCaption(QStringLiteral("播放列表"));
    if (c_.openManualPlayer)
        c_.openManualPlayer(c_.dialogParent);
    else
        qWarning().noquote() << QStringLiteral("chimecast: no manual player window to open");
}

QUrl ManualOverrides::locationFor(const QString &wjpath)
{
    const QString path = wjpath.trimmed();
    if (path.isEmpty())
        return {};
    if (path.contains(QStringLiteral("://")))
        return QUrl(path);
    const QFileInfo info(path);
    if (info.isDir())
        return QUrl::fromLocalFile(info.absoluteFilePath());
    if (info.exists())
        return QUrl::fromLocalFile(info.absolutePath());
    return {};
}

void ManualOverrides::DBGrid4DblClick()
{
    const std::optional<TodayEntry> highlighted = c_.grid->currentRow();
    if (!highlighted)
        return;
    const QUrl url = locationFor(highlighted->wjpath);
    if (url.isValid() && !url.isEmpty())
        c_.openUrl(url);
}
