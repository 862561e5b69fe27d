#include "player/main_player_panel.h"
#include "core/named_widget.h"

#include "player/main_player.h"
#include "player/system_volume.h"

#include <QAction>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QColor kRed(255, 0, 0);
const QColor kTeal(0, 128, 128);

QPushButton *button(const QString &caption, const char *name, QWidget *parent)
{
    return named(new QPushButton(caption, parent), name);
}

void setCaptionColour(QPushButton *button, const QColor &colour)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, colour);
    button->setPalette(palette);
}

QLineEdit *timeField(const char *name, QWidget *parent)
{
    auto *field = named(new QLineEdit(QStringLiteral("00:00:00"), parent), name);
    field->setReadOnly(true);
    return field;
}

} // namespace

MainPlayerPanel::MainPlayerPanel(MainPlayer &player, QTimer *timer1, QWidget *parent)
    : QWidget(parent),
      Timer1(timer1),
      player_(player),
      balance_([] { return kBalanceCentre; })
{
    setObjectName(QStringLiteral("MainPlayerPanel"));
    if (!Timer1)
        Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(1000);
    Timer1->stop();

    GroupBox1 = named(new QGroupBox(QStringLiteral("播放列表"), this), "GroupBox1");
    CheckListBox1 = named(new QListWidget(GroupBox1), "CheckListBox1");
    auto *groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addWidget(CheckListBox1);

    Panel1 = named(new QWidget(this), "Panel1");
    Label1 = named(new QLabel(QStringLiteral("总时间:"), Panel1), "Label1");
    Edit1 = timeField("Edit1", Panel1);
    Label2 = named(new QLabel(QStringLiteral("播放时间:"), Panel1), "Label2");
    Edit2 = timeField("Edit2", Panel1);
    Label3 = named(new QLabel(QStringLiteral("进度:"), Panel1), "Label3");
    jindu = named(new QProgressBar(Panel1), "jindu");
    jindu->setRange(0, 100);
    jindu->setValue(0);
    jindu->setTextVisible(false);
    Label4 = named(new QLabel(QStringLiteral("音量:"), Panel1), "Label4");
    TrackBar1 = named(new QSlider(Qt::Horizontal, Panel1), "TrackBar1");
    TrackBar1->setRange(0, kVolumeSliderMax);
    TrackBar1->setValue(kVolumeSliderDefault);

    BitBtn2 = button(QStringLiteral("播放"), "BitBtn2", Panel1);
    BitBtn3 = button(QStringLiteral("暂停"), "BitBtn3", Panel1);
    BitBtn4 = button(QStringLiteral("结束"), "BitBtn4", Panel1);
    BitBtn29 = button(QStringLiteral("上一首"), "BitBtn29", Panel1);
    next = button(QStringLiteral("下一首"), "next", Panel1);
    BitBtn1 = button(QStringLiteral("打开"), "BitBtn1", Panel1);
    BitBtn6 = button(QStringLiteral("add"), "BitBtn6", Panel1);
    BitBtn7 = button(QStringLiteral("del"), "BitBtn7", Panel1);
    last = button(QStringLiteral("pri"), "last", Panel1);
    tiaoxingopen = button(QStringLiteral("条形"), "tiaoxingopen", Panel1);
    tiaoxingclo = button(QStringLiteral("条形"), "tiaoxingclo", GroupBox1);
    BitBtn5 = button(QStringLiteral("关闭控制"), "BitBtn5", Panel1);
    BitBtn10 = button(QStringLiteral("控制"), "BitBtn10", Panel1);
    for (QPushButton *hidden : {BitBtn1, BitBtn6, BitBtn7, last, tiaoxingopen, tiaoxingclo, BitBtn5, BitBtn10})
        hidden->setVisible(false);

    auto *grid = new QGridLayout(Panel1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(Label2, 0, 2);
    grid->addWidget(Edit2, 0, 3);
    grid->addWidget(Label3, 1, 0);
    grid->addWidget(jindu, 1, 1, 1, 3);
    grid->addWidget(Label4, 2, 0);
    grid->addWidget(TrackBar1, 2, 1, 1, 3);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {BitBtn2, BitBtn3, BitBtn4, BitBtn29, next, BitBtn10, BitBtn5, tiaoxingopen})
        buttons->addWidget(b);
    grid->addLayout(buttons, 3, 0, 1, 4);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1, 1);
    layout->addWidget(Panel1);

    listMenu = named(new QMenu(this), "listMenu");
    addFilesItem = listMenu->addAction(QStringLiteral("添加文件"));
    N16 = listMenu->addAction(QStringLiteral("添加目录"));
    listMenu->addSeparator();
    deleteItem = listMenu->addAction(QStringLiteral("删除选项"));
    N18 = listMenu->addAction(QStringLiteral("清空列表"));
    N16->setObjectName(QStringLiteral("N16"));
    N18->setObjectName(QStringLiteral("N18"));

    for (QWidget *w :
         {static_cast<QWidget *>(CheckListBox1), static_cast<QWidget *>(Edit1), static_cast<QWidget *>(Edit2)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { listMenu->popup(w->mapToGlobal(pos)); });
        w->installEventFilter(this);
    }

    connect(BitBtn2, &QPushButton::clicked, this, [this] { player_.BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { player_.BitBtn3Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { player_.BitBtn4Click(); });
    connect(BitBtn29, &QPushButton::clicked, this, [this] { player_.BitBtn29Click(); });
    connect(last, &QPushButton::clicked, this, [this] { player_.lastClick(); });
    connect(next, &QPushButton::clicked, this, [this] { player_.nextClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, &MainPlayerPanel::BitBtn1Click);
    connect(BitBtn6, &QPushButton::clicked, this, &MainPlayerPanel::BitBtn6Clicked);
    connect(BitBtn7, &QPushButton::clicked, this, [this] { player_.BitBtn7Click(); });
    connect(tiaoxingopen, &QPushButton::clicked, this, &MainPlayerPanel::tiaoxingopenClick);
    connect(tiaoxingclo, &QPushButton::clicked, this, &MainPlayerPanel::tiaoxingcloClick);
    connect(BitBtn10, &QPushButton::clicked, this, &MainPlayerPanel::BitBtn10Click);
    connect(BitBtn5, &QPushButton::clicked, this, &MainPlayerPanel::BitBtn5Click);
    connect(addFilesItem, &QAction::triggered, this, &MainPlayerPanel::BitBtn6Clicked);
    connect(N16, &QAction::triggered, this, &MainPlayerPanel::N16Clicked);
    connect(deleteItem, &QAction::triggered, this, [this] { player_.BitBtn7Click(); });
    connect(N18, &QAction::triggered, this, [this] { player_.N18Click(); });
    connect(TrackBar1, &QSlider::valueChanged, this, &MainPlayerPanel::TrackBar1Change);

    connect(CheckListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!syncingList_)
            player_.playList().setItemIndex(row);
    });
    connect(CheckListBox1, &QListWidget::itemDoubleClicked, this, [this] { player_.CheckListBox1DblClick(); });

    connect(Timer1, &QTimer::timeout, &player_, &MainPlayer::Timer1Timer);
    connect(&player_, &MainPlayer::Timer1Changed, Timer1, [this](bool active) {
        if (active)
            Timer1->start();
        else
            Timer1->stop();
    });
    connect(&player_, &MainPlayer::changed, this, &MainPlayerPanel::refresh);
    player_.playList().setOnChange([this] { refreshList(); });
    refresh();
}

void MainPlayerPanel::setBalanceSource(std::function<int()> balance)
{
    balance_ = std::move(balance);
}

void MainPlayerPanel::setPositionStore(std::function<void(int)> store)
{
    storePosition_ = std::move(store);
}

void MainPlayerPanel::setFileChooser(std::function<QString()> chooser)
{
    chooseFile_ = std::move(chooser);
}

void MainPlayerPanel::refreshList()
{
    const PlayList &list = player_.playList();
    syncingList_ = true;
    // Fills only append: keep the rows that still match and add the rest.
    const int shown = CheckListBox1->count();
    bool prefix = shown <= list.count();
    for (int i = 0; prefix && i < shown; ++i)
        prefix = CheckListBox1->item(i)->text() == list.item(i);
    if (!prefix) {
        CheckListBox1->clear();
        CheckListBox1->addItems(list.items());
    } else if (shown < list.count()) {
        CheckListBox1->addItems(list.items().mid(shown));
    }
    CheckListBox1->setCurrentRow(list.itemIndex());
    syncingList_ = false;
}

void MainPlayerPanel::refresh()
{
    Edit1->setText(player_.Edit1Text());
    Edit2->setText(player_.Edit2Text());
    // A range of 0 ... 0 would turn the gauge into a busy indicator.
    jindu->setMaximum(qMax(player_.gaugeMax(), 1));
    jindu->setValue(qMin(player_.gaugeValue(), jindu->maximum()));
    setCaptionColour(BitBtn2, player_.playCaptionRed() ? kRed : kTeal);
    setCaptionColour(BitBtn3, player_.pauseCaptionRed() ? kRed : kTeal);
    jindu->setToolTip(player_.statusText());
    CheckListBox1->setToolTip(player_.statusText());
    refreshList();
}

void MainPlayerPanel::BitBtn1Click()
{
    QString path;
    if (chooseFile_) {
        path = chooseFile_();
    } else {
        path = QFileDialog::getOpenFileName(
            this, QString(), QString(),
            QStringLiteral("(*.*) (*);;*.wav（声音文件） (*.wav);;*.mid (*.mid);;*.mp3（mp3文件） (*.mp3);;"
                           "*.wma（wma文件） (*.wma);;*.qk(歌曲列表文件) (*.qk)"));
    }
    if (!path.isEmpty())
        player_.openFile(path);
}

void MainPlayerPanel::TrackBar1Change()
{
    const int position = TrackBar1->value();
    ProcessVolume::instance().applySlider(position, balance_ ? balance_() : kBalanceCentre);
    if (storePosition_)
        storePosition_(position);
}

void MainPlayerPanel::setVolumePosition(int position)
{
    {
        const QSignalBlocker quiet(TrackBar1);
        TrackBar1->setValue(position);
    }
    TrackBar1Change();
}

void MainPlayerPanel::tiaoxingopenClick()
{
    if (effectWindow_)
        effectWindow_->show();
    tiaoxingopen->setVisible(false);
    tiaoxingclo->setVisible(true);
    tiaoxingclo->raise();
}

void MainPlayerPanel::tiaoxingcloClick()
{
    if (effectWindow_)
        effectWindow_->close();
    effectWindowClosed();
}

void MainPlayerPanel::effectWindowClosed()
{
    tiaoxingopen->setVisible(true);
    tiaoxingclo->setVisible(false);
}

void MainPlayerPanel::BitBtn10Click()
{
    if (controlWindow_)
        controlWindow_->show();
    BitBtn5->setVisible(true);
    BitBtn10->setVisible(false);
}

void MainPlayerPanel::BitBtn5Click()
{
    if (controlWindow_)
        controlWindow_->close();
    controlWindowClosed();
}

void MainPlayerPanel::controlWindowClosed()
{
    BitBtn10->setVisible(true);
    BitBtn5->setVisible(false);
}

bool MainPlayerPanel::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Delete) {
        player_.BitBtn7Click();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        player_.BitBtn2Click();
        return true;
    }
    // The letter keys act only with Ctrl alone (no Shift, no Alt).
    if ((modifiers & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))
        != Qt::ControlModifier)
        return false;
    switch (key) {
    case Qt::Key_A: Q_EMIT BitBtn6Clicked(); return true;
    case Qt::Key_C: player_.BitBtn4Click(); return true;
    case Qt::Key_L: player_.lastClick(); return true;
    case Qt::Key_N: player_.nextClick(); return true;
    case Qt::Key_O: BitBtn1Click(); return true;
    case Qt::Key_P: player_.BitBtn3Click(); return true;
    case Qt::Key_T: tiaoxingopenClick(); return true;
    case Qt::Key_K: BitBtn5Click(); return true;
    default: return false;
    }
}

bool MainPlayerPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (handleKey(key->key(), key->modifiers()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
