#include "windows/effect_window.h"

#include "player/spectrum_panel.h"

namespace {

constexpr int kClientWidth = 272;
constexpr int kClientHeight = 57;

} // namespace

TForm3::TForm3(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("效果"));
    resize(kClientWidth, kClientHeight);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kClientWidth, kClientHeight);
    // The picture behind the drawing surface: a dark strip.
    Panel1->setAttribute(Qt::WA_StyledBackground);
    Panel1->setStyleSheet(
        QStringLiteral("#Panel1 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #0b1623, "
                       "stop:1 #1d3557); }"));
    Panel2 = new SpectrumPanel(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(7, 8, SpectrumPanel::kWidth, SpectrumPanel::kHeight);
}

void TForm3::showEvent(QShowEvent *event)
{
    // The strip sits directly above the main window, exactly as wide.
    if (anchor_) {
        const QRect main = anchor_->frameGeometry();
        resize(main.width(), height());
        move(main.left(), main.top() - frameGeometry().height());
        Panel1->resize(width(), height());
    }
    QWidget::showEvent(event);
}

void TForm3::closeEvent(QCloseEvent *event)
{
    Q_EMIT closing();
    QWidget::closeEvent(event);
}
