#include "player/main_player.h"

#include "platform/media_player.h"
#include "player/library_engine.h"
#include "player/media_kinds.h"

#include <QFileInfo>

namespace {

const QString kZeroTime = QStringLiteral("00:00:00");
const QString kTitleMark = QStringLiteral("music");

} // namespace

int PlayerRandom::next(int count)
{
    seed_ = seed_ * 134775813u + 1u;
    return int((quint64(seed_) * quint64(count)) >> 32);
}

QString playerTimeText(int secs)
{
    if (secs < 0)
        secs = 0;
    return QString::asprintf("%02d:%02d:%02d", secs / 3600, secs / 60 % 60, secs % 60);
}

MainPlayer::MainPlayer(PlayList &list, LibraryEngine &library, MediaPlayer &media, QObject *parent)
    : QObject(parent),
      list_(list),
      library_(library),
      media_(media),
      edit1_(kZeroTime),
      edit2_(kZeroTime)
{}

void MainPlayer::setTitleAccess(std::function<QString()> read, std::function<void(const QString &)> write)
{
    readTitle_ = std::move(read);
    writeTitle_ = std::move(write);
}

void MainPlayer::setLoopMode(bool on)
{
    if (loopMode_ == on)
        return;
    loopMode_ = on;
    Q_EMIT modesChanged();
}

void MainPlayer::setRandomMode(bool on)
{
    if (randomMode_ == on)
        return;
    randomMode_ = on;
    Q_EMIT modesChanged();
}

void MainPlayer::setTimer1(bool active)
{
    if (timer1Active_ == active)
        return;
    timer1Active_ = active;
    Q_EMIT Timer1Changed(active);
}

void MainPlayer::time2()
{
    edit2_ = playerTimeText(elapsedSecs_);
}

void MainPlayer::resetAfterStartFailure()
{
    currentPath_.clear();
    media_.close();
    edit1_ = kZeroTime;
    gaugeValue_ = 0;
    setTimer1(false);
    elapsedSecs_ = 0;
    time2();
}

bool MainPlayer::form3mp3()
{
    const QString path = currentPath_;
    switch (engineForPath(path)) {
    case PlayEngine::Library:
        library_.stop();
        library_.init();
        if (!mp3Engine_ && playing_) {
            media_.stop();
            media_.close();
        }
        // A file the library cannot play reads as length 0 below and is dropped from
        // the list; the library's reason is shown, and with no item left after it the
        // player stops instead of sitting in "playing" with nothing playing.
        library_.play(path);
        playing_ = true;
        mp3Engine_ = true;
        if (!time())
            return false;
        if (totalSecs_ == 0) {
            const QString why = library_.failure();
            soundDeviceFailed_ = !why.isEmpty() && library_.failureIsSoundDevice();
            if (!why.isEmpty() && failedLastItem(why))
                return false;
        }
        return true;
    case PlayEngine::Media:
        if (mp3Engine_ && playing_)
            library_.stop();
        if (!media_.open(path) || !media_.play()) {
            resetAfterStartFailure();
            return false;
        }
        mp3Engine_ = false;
        playing_ = true;
        return time();
    case PlayEngine::None: break;
    }
    return false;
}

// Names the failed file; when nothing is left to play after it (the list is empty,
// or it was the last item without loop or random play) stops as the Stop button does.
bool MainPlayer::failedLastItem(const QString &why)
{
    status_ = QStringLiteral("无法播放 %1：%2").arg(QFileInfo(currentPath_).fileName(), why);
    const int next = list_.itemIndex() + 1;
    if (!list_.isEmpty() && (loopMode_ || randomMode_ || next < list_.count()))
        return false;
    playing_ = false;
    library_.stop();
    edit1_ = kZeroTime;
    gaugeValue_ = 0;
    elapsedSecs_ = 0;
    time2();
    playRed_ = false;
    pauseRed_ = false;
    setTimer1(false);
    currentPath_.clear();
    return true;
}

bool MainPlayer::time()
{
    elapsedSecs_ = 0;
    gaugeValue_ = 0;
    if (mp3Engine_) {
        totalSecs_ = library_.lengthSecs(currentPath_);
    } else {
        const qint64 ms = media_.lengthMs();
        if (ms < 0) {
            resetAfterStartFailure();
            return false;
        }
        totalSecs_ = int(ms / 1000);
    }
    totalText_ = playerTimeText(totalSecs_);
    edit1_ = totalText_;
    gaugeMax_ = totalSecs_;
    // A track of no length (unreadable, or shorter than a second) leaves the list. Only
    // the selected item is removed, and only when it is the track just started; the
    // selection moves to the item before it, so the next tick goes on with the item
    // that followed it.
    const int index = list_.itemIndex();
    if (totalSecs_ == 0 && index >= 0 && list_.item(index) == currentPath_) {
        list_.removeAt(index);
        list_.setItemIndex(index - 1);
    }
    return true;
}

bool MainPlayer::play()
{
    if (engineForPath(currentPath_) == PlayEngine::None) {
        currentPath_.clear();
        return false;
    }
    if (!form3mp3()) {
        setTimer1(false);
        return false;
    }
    setTimer1(true);
    return true;
}

void MainPlayer::BitBtn2Click()
{
    if (pauseRed_) {
        if (mp3Engine_)
            library_.resume();
        else
            media_.resume();
        playing_ = true;
        setTimer1(true);
        pauseRed_ = false;
        playRed_ = true;
        Q_EMIT changed();
        return;
    }
    if (list_.isEmpty())
        return;
    if (list_.itemIndex() < 0)
        list_.setItemIndex(0);
    currentPath_ = list_.item(list_.itemIndex());
    if (form3mp3()) {
        setTimer1(true);
        playRed_ = true;
    }
    Q_EMIT changed();
}

void MainPlayer::BitBtn3Click()
{
    if (!playing_)
        return;
    if (pausesOnMediaLayer(currentPath_))
        media_.pause();
    else
        library_.pause();
    setTimer1(false);
    pauseRed_ = true;
    playRed_ = false;
    Q_EMIT changed();
}

void MainPlayer::BitBtn4Click()
{
    if (!playing_)
        return;
    playing_ = false;
    edit1_ = kZeroTime;
    gaugeValue_ = 0;
    elapsedSecs_ = 0;
    time2();
    if (mp3Engine_)
        library_.stop();
    else
        media_.close();
    playRed_ = false;
    pauseRed_ = false;
    setTimer1(false);
    currentPath_.clear();
    Q_EMIT changed();
}

void MainPlayer::startItem(int index)
{
    list_.setItemIndex(index);
    currentPath_ = list_.item(index);
    if (play()) {
        time2();
        playing_ = true;
    }
    Q_EMIT changed();
}

void MainPlayer::nextClick()
{
    if (list_.isEmpty())
        return;
    const int index = list_.itemIndex();
    startItem(index + 1 == list_.count() ? index : index + 1);
}

void MainPlayer::BitBtn29Click()
{
    if (list_.isEmpty())
        return;
    const int index = list_.itemIndex();
    startItem(index <= 0 ? 0 : index - 1);
}

void MainPlayer::CheckListBox1DblClick()
{
    if (list_.isEmpty())
        return;
    if (list_.itemIndex() < 0)
        list_.setItemIndex(0);
    currentPath_ = list_.item(list_.itemIndex());
    if (form3mp3())
        setTimer1(true);
    Q_EMIT changed();
}

void MainPlayer::blinkTitle()
{
    if (!readTitle_ || !writeTitle_)
        return;
    QString title = readTitle_();
    if (title.startsWith(kTitleMark))
        title.remove(0, kTitleMark.size());
    else
        title.prepend(kTitleMark);
    writeTitle_(title);
}

void MainPlayer::advanceTo(int index)
{
    list_.setItemIndex(index);
    currentPath_ = list_.item(index);
    if (form3mp3())
        setTimer1(true);
}

void MainPlayer::stopAtEndOfList()
{
    setTimer1(false);
    edit1_ = kZeroTime;
    gaugeValue_ = 0;
    elapsedSecs_ = 0;
    time2();
    if (mp3Engine_) {
        library_.stop();
    } else {
        media_.stop();
        media_.close();
    }
    currentPath_.clear();
}

void MainPlayer::Timer1Timer()
{
    if (elapsedSecs_ != totalSecs_) {
        ++elapsedSecs_;
        ++gaugeValue_;
        time2();
        blinkTitle();
        Q_EMIT changed();
        return;
    }
    // The track is over.
    time2();
    const int count = list_.count();
    const int index = list_.itemIndex();
    if (randomMode_ && count > 0) {
        setTimer1(false);
        // Random play never returns to the first item; with a single item that item
        // is the only choice and plays again.
        int pick = 0;
        if (count > 1) {
            do
                pick = random_.next(count);
            while (pick == 0);
        }
        advanceTo(pick);
    } else if (!randomMode_ && count > 0 && index != count - 1) {
        advanceTo(index + 1);
    } else if (!randomMode_ && count > 0 && loopMode_) {
        setTimer1(false);
        advanceTo(0);
    } else {
        stopAtEndOfList();
    }
    Q_EMIT changed();
}

void MainPlayer::openFile(const QString &path)
{
    if (path.isEmpty())
        return;
    currentPath_ = path;
    if (!play()) {
        Q_EMIT changed();
        return;
    }
    playing_ = true;
    list_.append(path);
    list_.setItemIndex(list_.itemIndex() + 1);
    Q_EMIT changed();
}

void MainPlayer::BitBtn7Click()
{
    list_.clear();
    Q_EMIT changed();
}
