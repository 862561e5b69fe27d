#include "player/spectrum_panel.h"

#include <QMutex>
#include <QMutexLocker>
#include <QPainter>

// Shared between the library's feedback thread and the widget. Never freed: the
// library may still hold the descriptor after the widget is gone.
struct SpectrumPanel::Mailbox
{
    QMutex mutex;
    SpectrumPanel *target = nullptr; // null once the widget is destroyed
    QImage picture;
};

SpectrumPanel::SpectrumPanel(QWidget *parent)
    : QWidget(parent),
      mailbox_(new Mailbox)
{
    setObjectName(QStringLiteral("Panel2"));
    setFixedSize(kWidth, kHeight);
    mailbox_->target = this;
    panel_.present = &SpectrumPanel::present;
    panel_.user = mailbox_;
}

SpectrumPanel::~SpectrumPanel()
{
    const QMutexLocker lock(&mailbox_->mutex);
    mailbox_->target = nullptr;
    mailbox_->picture = QImage();
}

void SpectrumPanel::present(void *user, const uint32_t *pixels, int width, int height)
{
    auto *mailbox = static_cast<Mailbox *>(user);
    if (!pixels || width <= 0 || height <= 0)
        return;
    // Rows arrive bottom-up; the copy is turned upright here, off the UI thread.
    const QImage upright =
        QImage(reinterpret_cast<const uchar *>(pixels), width, height, width * 4, QImage::Format_RGB32).mirrored();
    const QMutexLocker lock(&mailbox->mutex);
    if (!mailbox->target)
        return;
    mailbox->picture = upright;
    QMetaObject::invokeMethod(mailbox->target, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

QImage SpectrumPanel::picture() const
{
    const QMutexLocker lock(&mailbox_->mutex);
    return mailbox_->picture;
}

void SpectrumPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QImage shown = picture();
    if (shown.isNull()) {
        painter.fillRect(rect(), Qt::black);
        painter.setPen(Qt::yellow);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Tunelet"));
        return;
    }
    painter.drawImage(rect(), shown);
}
