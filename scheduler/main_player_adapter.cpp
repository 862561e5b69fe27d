#include "scheduler/main_player_adapter.h"

#include "core/logging.h"

#include "player/folder_scan.h"
#include "player/main_player.h"
#include "player/main_player_panel.h"
#include "scheduler/programme_outcome.h"
#include "scheduler/stream_player.h"

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QSlider>
#include <QVBoxLayout>

MainPlayerBroadcastAdapter::MainPlayerBroadcastAdapter(MainPlayerPanel &panel, StreamPlayer &stream)
    : panel_(panel),
      stream_(stream)
{
    Panel8 = new QWidget(panel.GroupBox1);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    auto *layout = new QVBoxLayout(Panel8);
    auto *title = new QLabel(QStringLiteral("网络广播"), Panel8);
    w1 = new QLabel(Panel8);
    w1->setObjectName(QStringLiteral("w1"));
    w1->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(w1);
    layout->addStretch();
    if (QLayout *groupLayout = panel.GroupBox1->layout())
        groupLayout->addWidget(Panel8);
    Panel8->hide();

    // The stream tells the running programme whether it sounds.
    QObject::connect(&stream_, &StreamPlayer::sounding, Panel8, [this] {
        if (ProgrammeOutcome *o = outcome())
            o->streamPlayed();
    });
    QObject::connect(&stream_, &StreamPlayer::stopped, Panel8, [this](const QString &reason) {
        if (ProgrammeOutcome *o = outcome(); o && !stream_.sounded())
            o->streamFailed(reason);
    });
}

void MainPlayerBroadcastAdapter::setLoopMode(bool on)
{
    panel_.player().setLoopMode(on);
}

void MainPlayerBroadcastAdapter::setRandomMode(bool on)
{
    panel_.player().setRandomMode(on);
}

void MainPlayerBroadcastAdapter::setVolumePosition(int position)
{
    // The change handler runs also when the slider already stands there.
    if (panel_.TrackBar1->value() == position)
        panel_.TrackBar1Change();
    else
        panel_.TrackBar1->setValue(position);
}

void MainPlayerBroadcastAdapter::clearPlayList()
{
    panel_.player().playList().clear();
}

void MainPlayerBroadcastAdapter::appendToPlayList(const QStringList &paths)
{
    panel_.player().playList().append(paths);
}

void MainPlayerBroadcastAdapter::selectFirstItem()
{
    PlayList &list = panel_.player().playList();
    list.setItemIndex(list.itemIndex() + 1);
}

void MainPlayerBroadcastAdapter::pressPlay()
{
    MainPlayer &player = panel_.player();
    player.BitBtn2Click();
    // Whether the first item sounds, as the player tells it today: a started track is
    // playing, a refused one leaves the player stopped.
    ProgrammeOutcome *o = outcome();
    if (!o)
        return;
    if (player.playing())
        o->itemPlayed(player.currentPath());
    else if (player.soundDeviceFailed())
        o->outputFailed();
    else if (player.playList().count() > 0 || !player.statusText().isEmpty())
        o->itemFailed(player.currentPath(), player.statusText().isEmpty()
                                                ? QStringLiteral("文件无法播放：%1").arg(player.currentPath())
                                                : player.statusText());
}

void MainPlayerBroadcastAdapter::pressStop()
{
    panel_.player().BitBtn4Click();
}

void MainPlayerBroadcastAdapter::playUrl(const QString &url)
{
    w1->setText(url);
    if (!stream_.play(url)) {
        qCWarning(lcScheduler).noquote()
            << QStringLiteral("network programme not started: %1").arg(stream_.lastError());
        if (ProgrammeOutcome *o = outcome())
            o->streamFailed(stream_.lastError());
    }
}

void MainPlayerBroadcastAdapter::stopUrl()
{
    stream_.stop();
}

void MainPlayerBroadcastAdapter::showStreamPanel(bool shown)
{
    Panel8->setVisible(shown);
    panel_.CheckListBox1->setVisible(!shown);
    panel_.Panel1->setVisible(!shown);
}

void MainPlayerBroadcastAdapter::setPlayListCaption(const QString &caption)
{
    panel_.GroupBox1->setTitle(caption);
}

QStringList MediaFolderScanner::scan(const QString &folder, const QString &mask)
{
    QStringList out;
    QString extension = mask;
    if (extension.startsWith(QStringLiteral("*.")))
        extension = extension.mid(2);
    ScanMediaFiles(folder, extension, out);
    return out;
}
