#include "recorder/manual_player_window.h"

#include "core/message_box.h"
#include "core/settings.h"
#include "player/system_volume.h"
#include "recorder/record_file_dialog.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDebug>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr quint16 kUnmuteLevel = 10 * 256; // 2560 in each channel

// The indicator's two pictures: a microphone head, lit and dim.
QPixmap micPixmap(bool lit)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(lit ? QColor(220, 0, 0) : QColor(120, 40, 40));
    p.drawRoundedRect(5, 1, 6, 9, 3, 3);
    p.setBrush(QColor(80, 80, 80));
    p.drawRect(7, 10, 2, 4);
    p.drawRect(4, 14, 8, 1);
    return pixmap;
}

QToolButton *glyphButton(QWidget *parent, const char *name, QStyle::StandardPixmap glyph, const QString &text)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(parent->style()->standardIcon(glyph));
    b->setToolTip(text);
    b->setAccessibleName(text);
    b->setText(text);
    return b;
}

} // namespace

TfrnMyPlay::TfrnMyPlay(ManualPlayerContext context, QWidget *parent)
    : QDialog(parent),
      c_(std::move(context))
{
    setObjectName(QStringLiteral("TfrnMyPlay"));
    setWindowTitle(QStringLiteral("手工播放器"));
    resize(540, 380);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(4, 0, 4, 4);

    // The top strip: the seek track with its fill and knob, and the time text.
    auto *strip = new QWidget(this);
    strip->setFixedHeight(22);
    auto *stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(0, 0, 0, 0);
    auto *track = new QWidget(strip);
    track->setMinimumWidth(200);
    SeekBar1 = new QFrame(track);
    SeekBar1->setObjectName(QStringLiteral("SeekBar1"));
    SeekBar1->setAccessibleName(QStringLiteral("播放进度"));
    SeekBar1->setFrameShape(QFrame::StyledPanel);
    SeekBar1->setStyleSheet(QStringLiteral("background: #7a9cc6;"));
    SeekBar2 = new QFrame(SeekBar1);
    SeekBar2->setObjectName(QStringLiteral("SeekBar2"));
    SeekBar2->setStyleSheet(QStringLiteral("background: #e4e4e4;"));
    SeekBarSlider = new QFrame(track);
    SeekBarSlider->setObjectName(QStringLiteral("SeekBarSlider"));
    SeekBarSlider->setAccessibleName(QStringLiteral("播放位置"));
    SeekBarSlider->setFrameShape(QFrame::Panel);
    SeekBarSlider->setFrameShadow(QFrame::Raised);
    SeekBarSlider->setStyleSheet(QStringLiteral("background: #d0d0d0;"));
    SeekBarSlider->setGeometry(0, 3, 10, 16);
    SeekBarSlider->installEventFilter(this);
    SeekBar2->installEventFilter(this);
    track->installEventFilter(this);
    LabTime = new QLabel(QStringLiteral("00:00"), strip);
    LabTime->setObjectName(QStringLiteral("LabTime"));
    LabTime->setAccessibleName(QStringLiteral("播放时间"));
    LabTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LabTime->setMinimumWidth(130);
    stripLayout->addWidget(track, 1);
    stripLayout->addWidget(LabTime);

    // Transport, volume and the recording indicator.
    auto *controls = new QHBoxLayout;
    BitBtn7 = glyphButton(this, "BitBtn7", QStyle::SP_DialogOpenButton, QStringLiteral("添加"));
    BitBtn3 = glyphButton(this, "BitBtn3", QStyle::SP_MediaPlay, QStringLiteral("播放/暂停"));
    BitBtn2 = glyphButton(this, "BitBtn2", QStyle::SP_MediaStop, QStringLiteral("停止"));
    BitBtn4 = glyphButton(this, "BitBtn4", QStyle::SP_MediaSkipBackward, QStringLiteral("上一首"));
    BitBtn5 = glyphButton(this, "BitBtn5", QStyle::SP_MediaSkipForward, QStringLiteral("下一首"));
    BtnVolume = glyphButton(this, "BtnVolume", QStyle::SP_MediaVolume, QStringLiteral("静音"));
    BtnVolume->setAutoRaise(true);
    for (QToolButton *b : {BitBtn7, BitBtn3, BitBtn2, BitBtn4, BitBtn5, BtnVolume}) {
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        controls->addWidget(b);
    }
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setAccessibleName(QStringLiteral("音量"));
    TrackBar1->setRange(0, kVolumeSliderMax);
    TrackBar1->setValue(kVolumeSliderDefault);
    TrackBar2 = new QSlider(Qt::Horizontal, this);
    TrackBar2->setObjectName(QStringLiteral("TrackBar2"));
    TrackBar2->setAccessibleName(QStringLiteral("音量标记"));
    TrackBar2->setRange(0, 10);
    TrackBar2->setValue(10);
    TrackBar2->hide();
    controls->addWidget(TrackBar1, 1);
    ImgRecord = new QLabel(this);
    ImgRecord->setObjectName(QStringLiteral("ImgRecord"));
    ImgRecord->setPixmap(micPixmap(true));
    ImgRecord->setAccessibleName(QStringLiteral("录音指示"));
    ImgRecord->hide();
    LabRecord = new QLabel(QStringLiteral("录音中......"), this);
    LabRecord->setObjectName(QStringLiteral("LabRecord"));
    LabRecord->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    LabRecord->hide();
    controls->addWidget(ImgRecord);
    controls->addWidget(LabRecord);

    // The list fills the lower part (PanR).
    auto *PanR = new QWidget(this);
    PanR->setObjectName(QStringLiteral("PanR"));
    auto *panLayout = new QVBoxLayout(PanR);
    panLayout->setContentsMargins(0, 0, 0, 0);
    List = new QListWidget(PanR);
    List->setObjectName(QStringLiteral("List"));
    List->setAccessibleName(QStringLiteral("乐曲列表"));
    List->setStyleSheet(QStringLiteral("QListWidget { color: red; }"));
    List->setContextMenuPolicy(Qt::ActionsContextMenu);
    panLayout->addWidget(List);

    Panel3 = new QWidget(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->hide();
    KsMediaplayer1 = new TKsMediaplayer(Panel3, c_.player, c_.recorder);
    KsMediaplayer1->setObjectName(QStringLiteral("KsMediaplayer1"));
    if (c_.chooseFiles)
        KsMediaplayer1->setFileChooser(c_.chooseFiles);

    auto *menuBar = new QMenuBar(this);
    buildMenus(menuBar);
    root->setMenuBar(menuBar);
    root->addWidget(strip);
    root->addLayout(controls);
    root->addWidget(PanR, 1);

    Timer1 = new QTimer(this);
    Timer1->setInterval(600);
    connect(Timer1, &QTimer::timeout, this, &TfrnMyPlay::Timer1Timer);
    Timer1->start();

    connect(BitBtn7, &QToolButton::clicked, this, &TfrnMyPlay::addFiles);
    connect(BitBtn3, &QToolButton::clicked, this, &TfrnMyPlay::BitBtn3Click);
    connect(BitBtn2, &QToolButton::clicked, this, &TfrnMyPlay::BitBtn2Click);
    connect(BitBtn4, &QToolButton::clicked, this, &TfrnMyPlay::BitBtn4Click);
    connect(BitBtn5, &QToolButton::clicked, this, &TfrnMyPlay::BitBtn5Click);
    connect(BtnVolume, &QToolButton::clicked, this, &TfrnMyPlay::BtnVolumeClick);
    connect(TrackBar1, &QSlider::valueChanged, this, &TfrnMyPlay::TrackBar1Change);
    connect(TrackBar2, &QSlider::valueChanged, this, &TfrnMyPlay::TrackBar2Change);
    connect(List, &QListWidget::itemDoubleClicked, this, &TfrnMyPlay::ListDblClick);
    connect(KsMediaplayer1, &TKsMediaplayer::OnChange, this, &TfrnMyPlay::KsMediaplayer1Change);
    connect(KsMediaplayer1, &TKsMediaplayer::OnPlay, this, &TfrnMyPlay::KsMediaplayer1Play);
    connect(KsMediaplayer1, &TKsMediaplayer::OnResize, this, &TfrnMyPlay::KsMediaplayer1Resize);
    connect(KsMediaplayer1, &TKsMediaplayer::OnPlayError, this, &TfrnMyPlay::say);
    connect(KsMediaplayer1, &TKsMediaplayer::OnStop, this, &TfrnMyPlay::showPlayState);
    connect(KsMediaplayer1, &TKsMediaplayer::OnPlay, this, &TfrnMyPlay::showPlayState);
    connect(KsMediaplayer1, &TKsMediaplayer::OnRecordFailed, this, &TfrnMyPlay::recordingEnded);

    FormCreate();
}

TfrnMyPlay::~TfrnMyPlay()
{
    // The component goes first, while the window it reports to is whole; what it says
    // on the way out (OnStop) is no longer shown.
    KsMediaplayer1->disconnect(this);
    delete KsMediaplayer1;
}

void TfrnMyPlay::buildMenus(QWidget *host)
{
    auto *bar = static_cast<QMenuBar *>(host);
    QMenu *file = bar->addMenu(QStringLiteral("文件"));
    fileOpen = file->addAction(QStringLiteral("打开"), this, &TfrnMyPlay::addFiles);
    fileExit = file->addAction(QStringLiteral("退出"), this, &QDialog::close);
    QMenu *play = bar->addMenu(QStringLiteral("播放"));
    playNext = play->addAction(QStringLiteral("下一首"), this, &TfrnMyPlay::BitBtn5Click);
    playPrior = play->addAction(QStringLiteral("上一首"), this, &TfrnMyPlay::BitBtn4Click);
    QMenu *modes = play->addMenu(QStringLiteral("循环控制"));
    auto *group = new QActionGroup(this);
    auto addMode = [this, modes, group](const QString &text, TPlayMode mode) {
        QAction *a = modes->addAction(text);
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, mode] { KsMediaplayer1->PlayMode = mode; });
        return a;
    };
    modeOrder = addMode(QStringLiteral("顺序播放"), TPlayMode::pmOrder);
    modeSingleLoop = addMode(QStringLiteral("单曲循环"), TPlayMode::pmSingleLoop);
    modeLoop = addMode(QStringLiteral("循环播放"), TPlayMode::pmLoop);
    modeRandom = addMode(QStringLiteral("随机播放"), TPlayMode::pmRandom);
    modeOrder->setChecked(true);
    QMenu *record = bar->addMenu(QStringLiteral("录音"));
    NStart = record->addAction(QStringLiteral("开始"), this, &TfrnMyPlay::NStartClick);
    NStart->setObjectName(QStringLiteral("NStart"));
    NStop = record->addAction(QStringLiteral("停止"), this, &TfrnMyPlay::NStopClick);
    NStop->setObjectName(QStringLiteral("NStop"));
    NAdd = new QAction(QStringLiteral("添加"), List);
    NAdd->setObjectName(QStringLiteral("NAdd"));
    connect(NAdd, &QAction::triggered, this, &TfrnMyPlay::addFiles);
    List->addAction(NAdd);
}

void TfrnMyPlay::say(const QString &text)
{
    qInfo().noquote() << QStringLiteral("chimecast: manual player: %1").arg(text);
    MessageBox::information(this, text);
}

void TfrnMyPlay::FormCreate()
{
    TRecordOption &o = KsMediaplayer1->RecordOption();
    o.setResolution(TResolution::re16bit);
    o.setChannel(TChannel::chSingleMono);
    o.setRate(11025);
    o.setFileName(QStringLiteral("test.wav"));
    try {
        o.setFilePath(TRecordOption::defaultFolder());
    } catch (const FolderMissingError &e) {
        say(QString::fromUtf8(e.what()));
    }
}

void TfrnMyPlay::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        placeKnob(0, 0);
        FormShow();
    }
}

void TfrnMyPlay::FormShow()
{
    bool ok = false;
    const int position = appSettings().strposr.toInt(&ok);
    const QSignalBlocker block(TrackBar1);
    TrackBar1->setValue(ok ? position : kVolumeSliderDefault);
    TrackBar1Change();
}

void TfrnMyPlay::addFiles()
{
    List->clear();
    KsMediaplayer1->AddFiles();
    const TDList &list = KsMediaplayer1->list();
    for (int i = 0; i < list.Count(); ++i)
        List->addItem(static_cast<TMusicList *>(list.Items(i))->name);
}

void TfrnMyPlay::ListDblClick(QListWidgetItem *line)
{
    if (line)
        KsMediaplayer1->PlayByName(line->text());
}

void TfrnMyPlay::BitBtn3Click()
{
    if (KsMediaplayer1->list().Count() == 0)
        return;
    if (KsMediaplayer1->playState() == 1)
        KsMediaplayer1->Pause();
    else if (!KsMediaplayer1->Play())
        say(KsMediaplayer1->lastError());
    showPlayState();
    refreshVolumeMarker();
}

void TfrnMyPlay::showPlayState()
{
    const bool playing = KsMediaplayer1->playState() == 1;
    BitBtn3->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
}

void TfrnMyPlay::BitBtn2Click()
{
    if (KsMediaplayer1->playState() != 3)
        KsMediaplayer1->Stop();
}

void TfrnMyPlay::BitBtn4Click()
{
    if (!KsMediaplayer1->atFirst())
        KsMediaplayer1->Prior();
}

void TfrnMyPlay::BitBtn5Click()
{
    if (!KsMediaplayer1->atLast())
        KsMediaplayer1->Next();
}

void TfrnMyPlay::refreshVolumeMarker()
{
    const quint32 word = KsMediaplayer1->GetVolume();
    const int marker = qBound(0, qMax(leftLevel(word) >> 8, rightLevel(word) >> 8), 10);
    TrackBar2->setValue(marker); // runs TrackBar2Change when the position changes
}

void TfrnMyPlay::TrackBar2Change()
{
    KsMediaplayer1->SetVolume(volumeWord(kUnmuteLevel, kUnmuteLevel));
}

void TfrnMyPlay::TrackBar1Change()
{
    const int balance = c_.balance ? c_.balance() : kBalanceCentre;
    ProcessVolume::instance().applySlider(TrackBar1->value(), balance);
}

void TfrnMyPlay::BtnVolumeClick()
{
    KsMediaplayer1->SetMute(!KsMediaplayer1->mute());
    if (KsMediaplayer1->mute()) {
        BtnVolume->setIcon(style()->standardIcon(QStyle::SP_MediaVolumeMuted));
        BtnVolume->setAccessibleName(QStringLiteral("取消静音"));
    } else {
        BtnVolume->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
        BtnVolume->setAccessibleName(QStringLiteral("静音"));
        KsMediaplayer1->SetVolume(volumeWord(kUnmuteLevel, kUnmuteLevel));
    }
}

void TfrnMyPlay::KsMediaplayer1Change()
{
    showPlayState();
    const QString name = KsMediaplayer1->CurrentName();
    setWindowTitle(QStringLiteral("正在播放 ") + name);
    List->setCurrentRow(-1);
    for (int i = 0; i < List->count(); ++i) {
        if (List->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) {
            List->setCurrentRow(i);
            break;
        }
    }
}

void TfrnMyPlay::placeKnob(quint32 position, quint32 length)
{
    const double ratio = length > 0 ? double(position) / double(length) : 0.0;
    const int left = int(roundHalfEven(ratio * SeekBar1->width())) + SeekBarSlider->width();
    SeekBarSlider->move(left, SeekBarSlider->y());
    SeekBar2->move(left, SeekBar2->y());
}

void TfrnMyPlay::KsMediaplayer1Play(quint32 position, quint32 length)
{
    if (FDragging)
        return;
    placeKnob(position, length);
    LabTime->setText(KsMediaplayer1->PositionText());
}

void TfrnMyPlay::KsMediaplayer1Resize()
{
    if (KsMediaplayer1->opened())
        placeKnob(KsMediaplayer1->Position(), KsMediaplayer1->Length());
}

void TfrnMyPlay::knobPressed()
{
    FDragging = true;
}

void TfrnMyPlay::knobMoved(int dx)
{
    if (FDragging)
        SeekBarSlider->move(SeekBarSlider->x() + dx, SeekBarSlider->y());
}

void TfrnMyPlay::knobReleased()
{
    FDragging = false;
    // With nothing open there is nothing to seek in.
    if (!KsMediaplayer1->opened())
        return;
    KsMediaplayer1->Pause();
    const double width = qMax(1, SeekBar1->width());
    KsMediaplayer1->SetPosition(
        quint32(qMax<qint64>(0, roundHalfEven(KsMediaplayer1->Length() / width * SeekBarSlider->x()))));
    KsMediaplayer1->Play();
}

bool TfrnMyPlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == SeekBar1->parent() && event->type() == QEvent::Resize) {
        // The track spans its strip after the knob's own width, so the knob's left edge
        // sits on the position it shows.
        auto *track = static_cast<QWidget *>(watched);
        SeekBar1->setGeometry(SeekBarSlider->width(), 7, qMax(1, track->width() - 2 * SeekBarSlider->width()), 8);
        SeekBar2->setGeometry(SeekBar2->x(), 1, SeekBar1->width(), 6);
        KsMediaplayer1Resize();
    } else if (watched == SeekBarSlider) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
            pressX_ = int(mouse->position().x());
            knobPressed();
            return true;
        }
        if (event->type() == QEvent::MouseMove && FDragging) {
            knobMoved(int(mouse->position().x()) - pressX_);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
            knobReleased();
            return true;
        }
    } else if (watched == SeekBar2 && event->type() == QEvent::MouseButtonPress) {
        say(QString::number(int(static_cast<QMouseEvent *>(event)->position().x())));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrnMyPlay::setIndicatorVisible(bool on)
{
    ImgRecord->setVisible(on);
    LabRecord->setVisible(on);
}

void TfrnMyPlay::NStartClick()
{
    if (KsMediaplayer1->recording()) {
        say(QStringLiteral("正在录音，请先停止！"));
        return;
    }
    QString name;
    QString place;
    {
        TFormlyts dialog(this);
        const bool confirmed = c_.runRecordDialog ? c_.runRecordDialog(dialog) : dialog.exec() == QDialog::Accepted;
        if (!confirmed)
            return;
        name = dialog.Edit1->text().trimmed();
        place = dialog.ComboBox1->currentText();
    }
    if (name.isEmpty() || place.isEmpty())
        return;
    if (name.contains(QLatin1Char('/'))) {
        say(QStringLiteral("文件名不能包含“/”！"));
        return;
    }
    TRecordOption &o = KsMediaplayer1->RecordOption();
    o.setFileName(name);
    try {
        o.setFilePath(place);
    } catch (const FolderMissingError &e) {
        say(QString::fromUtf8(e.what()));
        return;
    }
    if (!KsMediaplayer1->StartRecord()) {
        say(QStringLiteral("录音无法开始：%1！").arg(KsMediaplayer1->lastError()));
        return;
    }
    setIndicatorVisible(true);
}

void TfrnMyPlay::NStopClick()
{
    if (!KsMediaplayer1->recording()) {
        say(QStringLiteral("没有正在进行的录音！"));
        return;
    }
    const bool saved = KsMediaplayer1->StopRecord();
    setIndicatorVisible(false);
    if (saved)
        say(QStringLiteral("录音文件保存到：") + KsMediaplayer1->recordPath());
    else
        say(QStringLiteral("录音文件保存失败：%1！").arg(KsMediaplayer1->lastError()));
}

void TfrnMyPlay::recordingEnded(const QString &reason, const QString &path)
{
    setIndicatorVisible(false);
    say(QStringLiteral("录音已中断（%1），已录下的声音保存到：%2").arg(reason, path));
}

void TfrnMyPlay::Timer1Timer()
{
    ++blinkCount_;
    if (ImgRecord->isVisible())
        ImgRecord->setPixmap(micPixmap(blinkCount_ % 2 == 0));
}

void TfrnMyPlay::closeEvent(QCloseEvent *event)
{
    // A recording still running is finished and saved, never cut off.
    if (KsMediaplayer1->recording())
        NStopClick();
    if (KsMediaplayer1->playState() != 3)
        KsMediaplayer1->Stop();
    QDialog::closeEvent(event);
}

void openManualPlayer(QWidget *parent, const ManualPlayerContext &context)
{
    TfrnMyPlay window(context, parent);
    window.exec();
}

ManualPlayerTab::ManualPlayerTab(QWidget *tab, ManualPlayerContext context)
    : QObject(tab),
      tab_(tab),
      c_(std::move(context))
{
    BitBtn28 = new QPushButton(QStringLiteral("打开播放器"), tab);
    BitBtn28->setObjectName(QStringLiteral("BitBtn28"));
    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(BitBtn28, 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addStretch();
    connect(BitBtn28, &QPushButton::clicked, this, &ManualPlayerTab::BitBtn28Click);
}

void ManualPlayerTab::BitBtn28Click()
{
    openManualPlayer(tab_->window(), c_);
}
