#pragma once
// `TKsMediaplayer`: the manual player's media component. A black panel that plays a
// music list one file after another through the media layer, moves through the list by
// its play mode when a track ends, reports progress once a second (OnPlay), and records
// from the sound input into a WAV file.
//
// The component owns its media player, its recorder, its music list and its items.
// Both engines come from factories (the media layer's and the recorder's by default), so
// tests hand in fakes and call TimerTick() directly. Everything runs on the
// user-interface thread.

#include "player/main_player.h"
#include "recorder/music_list.h"
#include "recorder/record_option.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class AudioRecorder;
class MediaPlayer;
class QTimer;

enum class TPlayMode { pmRandom, pmLoop, pmSingleLoop, pmOrder };

class TKsMediaplayer : public QWidget
{
    Q_OBJECT
public:
    using PlayerFactory = std::function<std::unique_ptr<MediaPlayer>()>;
    using RecorderFactory = std::function<std::unique_ptr<AudioRecorder>()>;

    explicit TKsMediaplayer(QWidget *parent = nullptr, PlayerFactory player = {}, RecorderFactory recorder = {});
    ~TKsMediaplayer() override;

    // Runs the file chooser; returns the chosen paths, empty when cancelled. Defaults to
    // a multiple-selection open-file dialog.
    void setFileChooser(std::function<QStringList()> chooser) { chooseFiles_ = std::move(chooser); }

    // --- Operations ---
    void OpenFiles();
    void AddFiles();
    // False with the message in lastError() when the first track cannot be played.
    bool Play();
    void Pause();
    void Stop();
    void Next();
    void Prior();
    void PlayIndex(int index);
    void PlayByName(const QString &name);
    // Name of the item under the cursor; empty when the cursor is on no item.
    QString CurrentName() const;
    QString PositionText() const;
    QString FormatTime(quint32 t) const;
    // Position and length of the open track in milliseconds; 0 when unknown.
    quint32 Length() const;
    quint32 Position() const;
    void SetPosition(quint32 position);
    quint32 GetVolume() const;
    void SetVolume(quint32 word);
    void SetMute(bool on);
    bool mute() const { return FMute; }
    // False with the reason in lastError() when the recording could not start.
    bool StartRecord();
    // False with the reason in lastError() when the file could not be finished; true
    // (and nothing done) when no recording runs.
    bool StopRecord();
    bool recording() const;
    // The file the running (or last) recording goes to.
    QString recordPath() const { return recordPath_; }
    void ClearList();

    TPlayMode PlayMode = TPlayMode::pmOrder;
    TRecordOption &RecordOption() { return RecordOption_; }

    int playState() const { return FPlayState; }
    bool atFirst() const { return FAtFirst; }
    bool atLast() const { return FAtLast; }
    bool timerRunning() const;
    const TDList &list() const { return FList; }
    QString currentFile() const { return FPlayerFile; }
    // Opens a track's file and plays it (exposed for the window's play/pause button).
    bool opened() const;
    QString lastError() const { return lastError_; }

    // The clock's handler (every 1000 ms while it runs).
    void TimerTick();
    // Checks the running recording (every 500 ms while one runs); exposed for tests.
    void RecordCheckTick();

Q_SIGNALS:
    void OnChange();
    void OnStop();
    void OnPlay(quint32 position, quint32 length);
    void OnResize();
    // A track that Next, Prior, PlayIndex or the clock started could not be played.
    void OnPlayError(const QString &message);
    // The running recording ended by itself (input gone, disk full); the file holds
    // what was recorded.
    void OnRecordFailed(const QString &reason, const QString &path);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    bool PlayCurrent(QString *error);
    void SelectFiles(bool append);
    void playOrReport();

    quint8 FPlayState = 0; // 0 nothing opened, 1 playing, 2 paused, 3 stopped, 4 files just added
    std::unique_ptr<MediaPlayer> FPlayer;
    std::unique_ptr<AudioRecorder> FRecorder;
    QString FPlayerFile; // FPlayer's file name: the current track's path
    TDList FList;        // TMusicList items, owned by the component
    bool FAtLast = true;
    bool FAtFirst = true;
    QTimer *FTimer = nullptr;
    bool FMute = false;
    bool devicePaused_ = false;
    TRecordOption RecordOption_;
    PlayerRandom random_;
    std::function<QStringList()> chooseFiles_;
    QTimer *recordCheck_ = nullptr;
    QString recordPath_;
    QString lastError_;
};

// Rounds to the nearest whole number, halves to the even neighbour.
qint64 roundHalfEven(double value);
