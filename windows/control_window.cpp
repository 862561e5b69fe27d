#include "windows/control_window.h"
#include "core/named_widget.h"

#include "core/logging.h"
#include "core/program_folder.h"
#include "player/main_player.h"
#include "player/system_volume.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

namespace {

constexpr int kWidth = 370;
constexpr int kHeight = 228;
constexpr int kOffsetFromMainWindow = 282;

QRadioButton *radio(const QString &text, const char *name, QWidget *parent)
{
    auto *button = named(new QRadioButton(text, parent), name);
    // The order buttons show the player's mode and the tray buttons are commands: none
    // of them unchecks the others by itself.
    button->setAutoExclusive(false);
    return button;
}

} // namespace

TForm2::TForm2(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("控制"));
    setFixedSize(kWidth, kHeight);

    Image1 = named(new QLabel(this), "Image1");
    Image1->setGeometry(0, 0, kWidth, kHeight);
    Image1->setStyleSheet(
        QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #24476b, stop:1 #10243a);"));
    Image1->setAccessibleName(QStringLiteral("背景"));

    GroupBox1 = named(new QGroupBox(QStringLiteral("声道："), this), "GroupBox1");
    GroupBox1->setGeometry(8, 4, 176, 50);
    Label1 = named(new QLabel(QStringLiteral("左"), GroupBox1), "Label1");
    TrackBar1 = named(new QSlider(Qt::Horizontal, GroupBox1), "TrackBar1");
    TrackBar1->setRange(kBalanceMin, kBalanceMax);
    TrackBar1->setValue(kBalanceCentre);
    TrackBar1->setPageStep(1);
    TrackBar1->setAccessibleName(QStringLiteral("声道"));
    Label2 = named(new QLabel(QStringLiteral("右"), GroupBox1), "Label2");
    auto *row = new QHBoxLayout(GroupBox1);
    row->setContentsMargins(6, 2, 6, 2);
    row->addWidget(Label1);
    row->addWidget(TrackBar1, 1);
    row->addWidget(Label2);

    CheckBox1 = named(new QCheckBox(QStringLiteral("循环播放"), this), "CheckBox1");
    CheckBox1->setGeometry(12, 58, 84, 22);
    CheckBox2 = named(new QCheckBox(QStringLiteral("最小播放"), this), "CheckBox2");
    CheckBox2->setGeometry(100, 58, 84, 22);
    RadioButton1 = radio(QStringLiteral("顺序播放"), "RadioButton1", this);
    RadioButton1->setGeometry(12, 82, 84, 22);
    RadioButton2 = radio(QStringLiteral("随机播放"), "RadioButton2", this);
    RadioButton2->setGeometry(100, 82, 84, 22);

    GroupBox2 = named(new QGroupBox(QStringLiteral("其他："), this), "GroupBox2");
    GroupBox2->setGeometry(8, 106, 176, 46);
    RadioButton3 = named(new QRadioButton(QStringLiteral("弹开光驱"), GroupBox2), "RadioButton3");
    RadioButton4 = named(new QRadioButton(QStringLiteral("关闭光驱"), GroupBox2), "RadioButton4");
    auto *trayRow = new QHBoxLayout(GroupBox2);
    trayRow->setContentsMargins(6, 2, 6, 2);
    trayRow->addWidget(RadioButton3);
    trayRow->addWidget(RadioButton4);

    BitBtn1 = named(new QPushButton(QStringLiteral("声音设置"), this), "BitBtn1");
    BitBtn1->setGeometry(192, 10, 82, 26);
    BitBtn2 = named(new QPushButton(QStringLiteral("视频设置"), this), "BitBtn2");
    BitBtn2->setGeometry(280, 10, 82, 26);
    WebBrowser1 = named(new QLabel(this), "WebBrowser1");
    WebBrowser1->setGeometry(192, 42, 170, 110);
    WebBrowser1->setAlignment(Qt::AlignCenter);
    WebBrowser1->setAccessibleName(QStringLiteral("图片"));

    GroupBox3 = named(new QGroupBox(QStringLiteral("打开网页："), this), "GroupBox3");
    GroupBox3->setGeometry(8, 154, 354, 48);
    http = named(new QLineEdit(QString::fromLatin1(kControlWebAddress), GroupBox3), "http");
    http->setStyleSheet(QStringLiteral("QLineEdit { color: white; background: #10243a; }"));
    http->setAccessibleName(QStringLiteral("打开网页"));
    auto *webRow = new QHBoxLayout(GroupBox3);
    webRow->setContentsMargins(6, 2, 6, 4);
    webRow->addWidget(http);

    Label3 =
        named(new QLabel(QStringLiteral("联系我们：%1").arg(QLatin1String(kControlContactAddress)), this), "Label3");
    Label3->setGeometry(12, 204, 350, 20);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->setFocusPolicy(Qt::TabFocus);
    Label3->installEventFilter(this);

    // White captions on the dark background; the boxes' marks keep their own colours.
    QPalette captions = palette();
    captions.setColor(QPalette::WindowText, Qt::white);
    for (QWidget *w :
         std::initializer_list<QWidget *>{GroupBox1, GroupBox2, GroupBox3, CheckBox1, CheckBox2, RadioButton1,
                                          RadioButton2, RadioButton3, RadioButton4, Label1, Label2, Label3})
        w->setPalette(captions);

    openUrl_ = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    startSettings_ = [](SettingsPanel panel) { return startSettingsProgram(panel); };
    cdTray_ = [](CdTrayCommand command) { return sendCdTrayCommand(command); };

    connect(TrackBar1, &QSlider::valueChanged, this, &TForm2::TrackBar1Change);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm2::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::clicked, this, &TForm2::CheckBox2Click);
    connect(RadioButton1, &QRadioButton::clicked, this, &TForm2::RadioButton1Click);
    connect(RadioButton2, &QRadioButton::clicked, this, &TForm2::RadioButton2Click);
    connect(RadioButton3, &QRadioButton::clicked, this, &TForm2::RadioButton3Click);
    connect(RadioButton4, &QRadioButton::clicked, this, &TForm2::RadioButton4Click);
    connect(http, &QLineEdit::returnPressed, this, &TForm2::httpReturnPressed);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm2::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm2::BitBtn2Click);
}

void TForm2::setPlayer(MainPlayer *player)
{
    if (player_)
        disconnect(player_, nullptr, this, nullptr);
    player_ = player;
    if (player_)
        connect(player_, &MainPlayer::modesChanged, this, [this] {
            modesShown_ = true;
            showModes();
        });
    showModes();
}

void TForm2::showModes()
{
    const QSignalBlocker b1(CheckBox1), b2(RadioButton1), b3(RadioButton2);
    const bool loop = player_ && player_->loopMode();
    const bool random = player_ && player_->randomMode();
    CheckBox1->setChecked(loop);
    RadioButton2->setChecked(random);
    RadioButton1->setChecked(modesShown_ && !random);
}

void TForm2::TrackBar1Change()
{
    // A refused level leaves the volume as it was; nothing is reported.
    ProcessVolume::instance().applyBalance(TrackBar1->value());
}

void TForm2::CheckBox1Click()
{
    modesShown_ = true;
    if (player_)
        player_->setLoopMode(CheckBox1->isChecked());
    showModes();
}

void TForm2::CheckBox2Click()
{
    if (CheckBox2->isChecked()) {
        if (anchor_)
            anchor_->hide();
        if (compact_)
            compact_->show();
    } else {
        if (compact_)
            compact_->hide();
        if (anchor_)
            anchor_->show();
        // The main window comes back on top: this window goes above it again.
        raise();
    }
}

void TForm2::compactModeEnded()
{
    const QSignalBlocker blocker(CheckBox2);
    CheckBox2->setChecked(false);
    if (isVisible())
        raise();
}

void TForm2::RadioButton1Click()
{
    modesShown_ = true;
    if (player_)
        player_->setRandomMode(false);
    showModes();
}

void TForm2::RadioButton2Click()
{
    modesShown_ = true;
    if (player_)
        player_->setRandomMode(!player_->randomMode());
    showModes();
}

void TForm2::RadioButton3Click()
{
    if (RadioButton3->isChecked() && cdTray_)
        cdTray_(CdTrayCommand::Open);
}

void TForm2::RadioButton4Click()
{
    if (RadioButton4->isChecked() && cdTray_)
        cdTray_(CdTrayCommand::Close);
}

void TForm2::httpReturnPressed()
{
    const QString text = http->text().trimmed();
    if (text.isEmpty() || !openUrl_)
        return;
    const QUrl url = QUrl::fromUserInput(text);
    if (!url.isValid() || !openUrl_(url))
        qCInfo(lcWindows).noquote() << QStringLiteral("the desktop did not open the address %1").arg(text);
}

void TForm2::BitBtn1Click()
{
    if (startSettings_)
        startSettings_(SettingsPanel::Sound);
}

void TForm2::BitBtn2Click()
{
    if (startSettings_)
        startSettings_(SettingsPanel::Display);
}

void TForm2::Label3Click()
{
    const QUrl mail(QStringLiteral("mailto:%1").arg(QLatin1String(kControlContactAddress)));
    if (openUrl_ && !openUrl_(mail))
        qCInfo(lcWindows).noquote() << QStringLiteral("no mail program took %1").arg(mail.toString());
}

bool TForm2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label3) {
        if (event->type() == QEvent::MouseButtonRelease
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            Label3Click();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                Label3Click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm2::showPicture()
{
    // A missing or unreadable picture leaves the window's background showing.
    const QPixmap picture(programPath(QLatin1String(kControlPictureFile)));
    if (picture.isNull()) {
        WebBrowser1->clear();
        return;
    }
    WebBrowser1->setPixmap(picture.scaled(WebBrowser1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TForm2::showEvent(QShowEvent *event)
{
    if (anchor_)
        move(anchor_->geometry().left() + kOffsetFromMainWindow, anchor_->geometry().top());
    showPicture();
    showModes();
    QWidget::showEvent(event);
}

void TForm2::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Maximising keeps the size and puts the window just right of the main window.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
        QTimer::singleShot(0, this, [this] {
            setWindowState(windowState() & ~Qt::WindowMaximized);
            if (anchor_)
                move(anchor_->frameGeometry().right() + 1, anchor_->frameGeometry().top());
        });
    }
}

void TForm2::closeEvent(QCloseEvent *event)
{
    Q_EMIT closing();
    QWidget::closeEvent(event);
}
