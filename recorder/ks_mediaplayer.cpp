#include "recorder/ks_mediaplayer.h"

#include "platform/audio_recorder.h"
#include "platform/media_player.h"
#include "player/system_volume.h"

#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QPalette>
#include <QTimer>

#include <cmath>

namespace {

QString TwoDigits(quint32 n)
{
    return n < 10 ? QStringLiteral("0") + QString::number(n) : QString::number(n);
}

QString asciiUpper(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return out;
}

TMusicList *item(void *p)
{
    return static_cast<TMusicList *>(p);
}

} // namespace

qint64 roundHalfEven(double value)
{
    return qint64(std::nearbyint(value)); // the default rounding mode rounds halves to even
}

TKsMediaplayer::TKsMediaplayer(QWidget *parent, PlayerFactory player, RecorderFactory recorder)
    : QWidget(parent),
      FPlayer(player ? player() : createMediaPlayer()),
      FRecorder(recorder ? recorder() : createAudioRecorder())
{
    resize(300, 260);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);

    FTimer = new QTimer(this);
    FTimer->setInterval(1000);
    connect(FTimer, &QTimer::timeout, this, &TKsMediaplayer::TimerTick);
    recordCheck_ = new QTimer(this);
    recordCheck_->setInterval(500);
    connect(recordCheck_, &QTimer::timeout, this, &TKsMediaplayer::RecordCheckTick);

    chooseFiles_ = [this] {
        return QFileDialog::getOpenFileNames(
            this, QStringLiteral("打开"), TRecordOption::defaultFolder(),
            QStringLiteral("音乐文件 (*.mp3 *.wav *.wma *.mid *.midi *.mpg *.ogg *.flac);;所有文件 (*)"));
    };
}

TKsMediaplayer::~TKsMediaplayer()
{
    QString error;
    if (recording() && !FRecorder->stop(&error))
        qWarning().noquote() << QStringLiteral("chimecast: recording not finished: %1").arg(error);
    ClearList();
    Stop();
}

void TKsMediaplayer::SelectFiles(bool append)
{
    const QStringList chosen = chooseFiles_ ? chooseFiles_() : QStringList();
    if (chosen.isEmpty())
        return;
    if (!append)
        ClearList();
    for (const QString &raw : chosen) {
        const QString path = raw.trimmed();
        bool known = false;
        for (int i = 0; i < FList.Count() && !known; ++i)
            known = item(FList.Items(i))->path == path;
        if (known)
            continue;
        FList.Add(new TMusicList{QFileInfo(path).fileName(), path});
        FAtLast = false;
    }
    FPlayState = 4;
}

void TKsMediaplayer::OpenFiles()
{
    SelectFiles(false);
    FPlayState = 3;
}

void TKsMediaplayer::AddFiles()
{
    SelectFiles(true);
}

bool TKsMediaplayer::PlayCurrent(QString *error)
{
    FPlayer->close();
    devicePaused_ = false;
    if (!FPlayer->open(FPlayerFile, error) || !FPlayer->play(error)) {
        FPlayer->close();
        FPlayState = 3;
        FTimer->stop();
        return false;
    }
    FPlayState = 1;
    FTimer->start();
    FAtFirst = FList.CurrentIndex() == 0;
    FAtLast = FList.CurrentIndex() == FList.Count() - 1;
    Q_EMIT OnChange();
    return true;
}

void TKsMediaplayer::playOrReport()
{
    QString error;
    if (PlayCurrent(&error))
        return;
    const QString message = QStringLiteral("无法播放“%1”！").arg(QFileInfo(FPlayerFile).fileName());
    qWarning().noquote() << QStringLiteral("chimecast: manual player: %1: %2").arg(FPlayerFile, error);
    Q_EMIT OnPlayError(message);
}

bool TKsMediaplayer::Play()
{
    if (FPlayState == 3 || FPlayState == 4) {
        if (FList.Count() == 0)
            return true;
        TMusicList *first = item(FList.First());
        FPlayerFile = first->path;
        QString error;
        if (!PlayCurrent(&error)) {
            lastError_ = QStringLiteral("目前视频文件只能播放mpg（%1）").arg(first->name);
            qWarning().noquote() << QStringLiteral("chimecast: manual player: %1: %2").arg(first->path, error);
            return false;
        }
    } else if (FPlayState == 2) {
        FTimer->start();
        QString error;
        if (FPlayer->isOpen() && !FPlayer->resume(&error))
            qWarning().noquote() << QStringLiteral("chimecast: manual player cannot resume: %1").arg(error);
        devicePaused_ = false;
        FPlayState = 1;
    }
    return true;
}

void TKsMediaplayer::Pause()
{
    // With nothing open there is nothing to pause.
    if (!FPlayer->isOpen())
        return;
    if (devicePaused_) {
        QString error;
        if (!FPlayer->resume(&error))
            qWarning().noquote() << QStringLiteral("chimecast: manual player cannot resume: %1").arg(error);
    } else {
        FPlayer->pause();
    }
    devicePaused_ = !devicePaused_;
    FPlayState = 2;
    FTimer->stop();
}

void TKsMediaplayer::Stop()
{
    if (FPlayState != 0 && FPlayState != 3) {
        if (FPlayer->isOpen())
            FPlayer->stop();
        Q_EMIT OnStop();
    }
    devicePaused_ = false;
    FPlayState = 3;
    FTimer->stop();
}

void TKsMediaplayer::Next()
{
    if (FAtLast)
        return;
    TMusicList *next = item(FList.Next());
    if (!next) {
        FList.Prior();
        return;
    }
    FPlayerFile = next->path;
    playOrReport();
}

void TKsMediaplayer::Prior()
{
    if (FAtFirst)
        return;
    TMusicList *prior = item(FList.Prior());
    if (!prior) {
        FList.Next();
        return;
    }
    FPlayerFile = prior->path;
    playOrReport();
}

void TKsMediaplayer::PlayIndex(int index)
{
    TMusicList *at = item(FList.Items(index));
    if (!at)
        return;
    FPlayerFile = at->path;
    playOrReport();
}

void TKsMediaplayer::PlayByName(const QString &name)
{
    const QString wanted = asciiUpper(name);
    const int before = FList.CurrentIndex();
    for (TMusicList *m = item(FList.First()); m; m = item(FList.Next())) {
        if (asciiUpper(m->name) == wanted) {
            PlayIndex(FList.CurrentIndex());
            return;
        }
    }
    // Nothing of that name: the cursor goes back where it was.
    FList.First();
    if (before < 0)
        FList.Prior(); // back to no item
    for (int i = 0; i < before; ++i)
        FList.Next();
}

QString TKsMediaplayer::CurrentName() const
{
    TMusicList *m = item(FList.Current());
    return m ? m->name : QString();
}

QString TKsMediaplayer::FormatTime(quint32 t) const
{
    if (FPlayerFile.right(3).toLower() != QStringLiteral("mpg")) {
        return TwoDigits(t / 3600000) + QLatin1Char(':') + TwoDigits(t / 60000 % 60) + QLatin1Char(':')
               + TwoDigits(t / 1000 % 60);
    }
    return QString::number(t / 3600) + QLatin1Char(':') + TwoDigits(t / 60 % 60) + QLatin1Char(':') + TwoDigits(t % 60);
}

QString TKsMediaplayer::PositionText() const
{
    return FormatTime(Position()) + QLatin1Char('/') + FormatTime(Length());
}

quint32 TKsMediaplayer::Length() const
{
    const qint64 ms = FPlayer->lengthMs();
    return ms > 0 ? quint32(ms) : 0;
}

quint32 TKsMediaplayer::Position() const
{
    const qint64 ms = FPlayer->positionMs();
    return ms > 0 ? quint32(ms) : 0;
}

void TKsMediaplayer::SetPosition(quint32 position)
{
    if (FPlayer->isOpen() && !FPlayer->seekMs(position))
        qWarning().noquote() << QStringLiteral("chimecast: manual player cannot seek to %1 ms").arg(position);
}

quint32 TKsMediaplayer::GetVolume() const
{
    return ProcessVolume::instance().word();
}

void TKsMediaplayer::SetVolume(quint32 word)
{
    ProcessVolume::instance().setWord(word);
}

void TKsMediaplayer::SetMute(bool on)
{
    FMute = on;
    SetVolume(on ? 0 : GetVolume());
}

bool TKsMediaplayer::timerRunning() const
{
    return FTimer->isActive();
}

bool TKsMediaplayer::opened() const
{
    return FPlayer->isOpen();
}

void TKsMediaplayer::TimerTick()
{
    const qint64 length = FPlayer->lengthMs();
    const bool over = FPlayer->finished() || (length > 0 && FPlayer->positionMs() >= length);
    if (over) {
        switch (PlayMode) {
        case TPlayMode::pmRandom:
            if (FList.Count() > 0)
                PlayIndex(random_.next(FList.Count()));
            break;
        case TPlayMode::pmLoop:
            if (FAtLast)
                PlayIndex(0);
            else
                Next();
            break;
        case TPlayMode::pmSingleLoop: PlayIndex(FList.CurrentIndex()); break;
        case TPlayMode::pmOrder:
            if (FAtLast)
                Stop();
            else
                Next();
            break;
        }
    }
    Q_EMIT OnPlay(Position(), Length());
}

bool TKsMediaplayer::StartRecord()
{
    RecordFormat format;
    format.channels = RecordOption_.channels();
    format.bits = RecordOption_.bits();
    format.rate = RecordOption_.Rate();
    const QString path = RecordOption_.targetPath();
    QString error;
    if (!FRecorder->start(path, format, &error)) {
        lastError_ = error;
        qWarning().noquote() << QStringLiteral("chimecast: recording into %1 cannot start: %2").arg(path, error);
        return false;
    }
    recordPath_ = path;
    recordCheck_->start();
    qInfo().noquote() << QStringLiteral("chimecast: recording into %1").arg(path);
    return true;
}

bool TKsMediaplayer::StopRecord()
{
    recordCheck_->stop();
    if (!FRecorder->isRecording())
        return true;
    QString error;
    if (!FRecorder->stop(&error)) {
        lastError_ = error;
        qWarning().noquote() << QStringLiteral("chimecast: recording %1 not finished: %2").arg(recordPath_, error);
        return false;
    }
    qInfo().noquote() << QStringLiteral("chimecast: recording saved to %1 (%2 bytes of samples)")
                             .arg(recordPath_)
                             .arg(FRecorder->dataBytes());
    return true;
}

bool TKsMediaplayer::recording() const
{
    return FRecorder->isRecording();
}

void TKsMediaplayer::RecordCheckTick()
{
    QString reason;
    if (!FRecorder->checkFailure(&reason))
        return;
    recordCheck_->stop();
    qWarning().noquote() << QStringLiteral("chimecast: recording into %1 ended: %2").arg(recordPath_, reason);
    Q_EMIT OnRecordFailed(reason, recordPath_);
}

void TKsMediaplayer::ClearList()
{
    for (int i = 0; i < FList.Count(); ++i)
        delete item(FList.Items(i));
    FList.Clear();
}

void TKsMediaplayer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Q_EMIT OnResize();
}
