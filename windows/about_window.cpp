#include "windows/about_window.h"

#include "chimecast_version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

namespace {

constexpr int kClientWidth = 387;
constexpr int kClientHeight = 191;

QLabel *whiteLabel(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

TForm7::TForm7(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("关于"));
    setFixedSize(kClientWidth, kClientHeight);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kClientWidth, kClientHeight);
    Panel1->setStyleSheet(QStringLiteral("#Panel1 { background: black; }"));
    Panel1->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *frame = new QFrame(Panel1);
    frame->setObjectName(QStringLiteral("Panel2"));
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setGeometry(32, 32, 313, 121);
    Panel2 = frame;
    Image1 = new QLabel(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(1, 1, 311, 119);
    Image1->setStyleSheet(QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #14365c, "
                                         "stop:0.6 #1e6091, stop:1 #f4a261);"));
    Label1 = whiteLabel(QStringLiteral("关于"), "Label1", Panel1);
    Label1->setGeometry(12, 8, 80, 20);
    Label2 = whiteLabel(QString(), "Label2", Panel2);
    Label2->setGeometry(12, 16, 290, 60);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    versionLabel = whiteLabel(QStringLiteral("版本 %1").arg(QLatin1String(CHIMECAST_VERSION)), "versionLabel", Panel2);
    versionLabel->setGeometry(12, 92, 290, 20);
}

void TForm7::showEvent(QShowEvent *event)
{
    QScreen *screen = anchor_ ? anchor_->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        move(area.left() + area.width() / 2 - 195, area.top() + area.height() / 2 - 112);
    }
    Label2->setText(QStringLiteral("欢迎使用 Tunelet v1.0 该软件将会不断 　　\n的完善."));
    QWidget::showEvent(event);
}

void TForm7::mousePressEvent(QMouseEvent *event)
{
    // A click on the picture, the panels or the labels: they all let it through to here.
    if (event->button() == Qt::LeftButton) {
        close();
        return;
    }
    QWidget::mousePressEvent(event);
}
