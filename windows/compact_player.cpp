#include "windows/compact_player.h"

#include "core/logging.h"
#include "player/main_player.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

namespace {

// Client area; with the window's border it is the 296 x 97 strip.
constexpr int kClientWidth = 288;
constexpr int kClientHeight = 63;

QLineEdit *field(const char *name, const QString &text, const QString &accessibleName, QWidget *parent)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    edit->setAccessibleName(accessibleName);
    edit->setContextMenuPolicy(Qt::CustomContextMenu);
    return edit;
}

QPushButton *glyph(const char *name, QStyle::StandardPixmap icon, const QString &hint, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setFixedSize(28, 24);
    return button;
}

} // namespace

TForm6::TForm6(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Tunelet"));
    setFixedSize(kClientWidth, kClientHeight);
    setStyleSheet(QStringLiteral(
        "TForm6 { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #1d3557, stop:1 #0b1623); }"));
    setAttribute(Qt::WA_StyledBackground);

    Edit1 = field("Edit1", QString(), QStringLiteral("当前文件"), this);
    Edit1->setStyleSheet(QStringLiteral("QLineEdit { color: lime; background: black; }"));
    Edit3 = field("Edit3", QStringLiteral("00:00:00"), QStringLiteral("总时间"), this);
    Edit2 = field("Edit2", QStringLiteral("00:00:00"), QStringLiteral("播放时间"), this);
    for (QLineEdit *time : {Edit3, Edit2})
        time->setFixedWidth(64);
    BitBtn1 = glyph("BitBtn1", QStyle::SP_MediaPause, QStringLiteral("暂停"), this);
    BitBtn2 = glyph("BitBtn2", QStyle::SP_MediaPlay, QStringLiteral("播放"), this);
    BitBtn3 = glyph("BitBtn3", QStyle::SP_TitleBarNormalButton, QStringLiteral("切换"), this);
    BitBtn4 = glyph("BitBtn4", QStyle::SP_MediaSkipBackward, QStringLiteral("上一首"), this);
    BitBtn5 = glyph("BitBtn5", QStyle::SP_MediaSkipForward, QStringLiteral("下一首"), this);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(3);
    grid->addWidget(Edit1, 0, 0, 1, 8);
    auto *row = new QHBoxLayout;
    row->setSpacing(2);
    row->addWidget(Edit3);
    row->addWidget(Edit2);
    row->addStretch(1);
    for (QPushButton *b : {BitBtn1, BitBtn2, BitBtn4, BitBtn5, BitBtn3})
        row->addWidget(b);
    grid->addLayout(row, 1, 0, 1, 8);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm6::Timer1Timer);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm6::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm6::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm6::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm6::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TForm6::BitBtn5Click);
    setContextMenuPolicy(Qt::CustomContextMenu);
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(Edit1), static_cast<QWidget *>(Edit2),
                       static_cast<QWidget *>(Edit3)}) {
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint &pos) {
            if (menu_)
                menu_->popup(w->mapToGlobal(pos));
        });
    }
    moveToCorner();
}

void TForm6::setPlayer(MainPlayer *player)
{
    player_ = player;
}

void TForm6::setContextMenu(QMenu *menu)
{
    menu_ = menu;
}

void TForm6::Timer1Timer()
{
    if (!player_)
        return;
    Edit3->setText(player_->Edit1Text());
    Edit2->setText(player_->Edit2Text());
    // With no selected item there is no current item to show: the path stays as it was.
    const PlayList &list = player_->playList();
    if (!list.isEmpty() && list.itemIndex() >= 0)
        Edit1->setText(list.item(list.itemIndex()));
}

void TForm6::BitBtn1Click()
{
    if (player_)
        player_->BitBtn3Click();
}

void TForm6::BitBtn2Click()
{
    if (player_)
        player_->BitBtn2Click();
}

void TForm6::BitBtn3Click()
{
    Timer1->stop();
    hide();
    if (main_)
        main_->show();
    Q_EMIT returnedToMain();
}

void TForm6::BitBtn4Click()
{
    if (player_)
        player_->lastClick();
}

void TForm6::BitBtn5Click()
{
    if (player_)
        player_->nextClick();
}

void TForm6::moveToCorner()
{
    QScreen *screen = main_ ? main_->screen() : QGuiApplication::primaryScreen();
    move(screen ? screen->geometry().topLeft() : QPoint(0, 0));
}

void TForm6::showEvent(QShowEvent *event)
{
    moveToCorner();
    Timer1Timer();
    Timer1->start();
    QWidget::showEvent(event);
}

void TForm6::closeEvent(QCloseEvent *event)
{
    Timer1->stop();
    QWidget::closeEvent(event);
    qCInfo(lcWindows) << "the compact player window was closed: the program ends";
    if (quit_)
        quit_();
}

void TForm6::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Maximising keeps the strip's size at the top-left corner.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
        QTimer::singleShot(0, this, [this] {
            setWindowState(windowState() & ~Qt::WindowMaximized);
            moveToCorner();
        });
    }
}
