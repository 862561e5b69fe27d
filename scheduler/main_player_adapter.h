#pragma once

// The scheduler's hold on the main player of the first tab: the player panel's list,
// modes, slider, buttons and caption, plus the stream panel Panel8 that covers the play
// list while a network programme plays through a StreamPlayer.

#include "scheduler/broadcast_player.h"

class MainPlayerPanel;
class QLabel;
class QWidget;
class StreamPlayer;

class MainPlayerBroadcastAdapter final : public BroadcastPlayer
{
public:
    // Creates Panel8 inside the panel's play-list group box, hidden.
    MainPlayerBroadcastAdapter(MainPlayerPanel &panel, StreamPlayer &stream);

    void setLoopMode(bool on) override;
    void setRandomMode(bool on) override;
    void setVolumePosition(int position) override;
    void clearPlayList() override;
    void appendToPlayList(const QStringList &paths) override;
    void selectFirstItem() override;
    void pressPlay() override;
    void pressStop() override;
    void playUrl(const QString &url) override;
    void stopUrl() override;
    void showStreamPanel(bool shown) override;
    void setPlayListCaption(const QString &caption) override;

    QWidget *Panel8; // the stream panel: the address being played
    QLabel *w1;      // shows the address

private:
    MainPlayerPanel &panel_;
    StreamPlayer &stream_;
};

// The main player's folder scan for one mask ("*.mp3", "*.wav", "*.mid").
class MediaFolderScanner final : public FolderScanner
{
public:
    QStringList scan(const QString &folder, const QString &mask) override;
};
