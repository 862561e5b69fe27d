#include "windows/message_window.h"

#include "core/logging.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

namespace {

constexpr int kClientWidth = 225;
constexpr int kClientHeight = 88;

} // namespace

TForm5::TForm5(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("MESSAGE"));
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);
    setStyleSheet(QStringLiteral("TForm5 { background: black; }"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, kClientWidth, kClientHeight);
    Image1->setStyleSheet(
        QStringLiteral("background: qradialgradient(cx:0.8, cy:0.8, radius:1, stop:0 #1f2f46, stop:1 black);"
                       "border: 1px solid #3a5a80;"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(14, 12, kClientWidth - 28, kClientHeight - 24);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    // Clicks on the label reach the box, which closes.
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
    Image1->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TForm5::showMessage(const QString &text, QWidget *over)
{
    Label1->setText(text);
    setAccessibleName(text);
    qCInfo(lcWindows).noquote() << QStringLiteral("message window: %1").arg(text.trimmed());
    QRect area;
    if (over && over->isVisible())
        area = over->frameGeometry();
    else if (QScreen *screen = over ? over->screen() : QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
    exec();
}

void TForm5::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    raise();
    activateWindow();
}

void TForm5::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        accept();
        return;
    }
    QDialog::mousePressEvent(event);
}
