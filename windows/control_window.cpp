#include "windows/control_window.h"

#include "player/system_volume.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 370;
constexpr int kHeight = 228;
constexpr int kOffsetFromMainWindow = 282;

} // namespace

TForm2::TForm2(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("控制"));
    setFixedSize(kWidth, kHeight);

    GroupBox1 = new QGroupBox(QStringLiteral("声道："), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = new QLabel(QStringLiteral("左"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    TrackBar1 = new QSlider(Qt::Horizontal, GroupBox1);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(kBalanceMin, kBalanceMax);
    TrackBar1->setValue(kBalanceCentre);
    TrackBar1->setPageStep(1);
    Label2 = new QLabel(QStringLiteral("右"), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));

    auto *row = new QHBoxLayout(GroupBox1);
    row->addWidget(Label1);
    row->addWidget(TrackBar1, 1);
    row->addWidget(Label2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addStretch(1);

    connect(TrackBar1, &QSlider::valueChanged, this, &TForm2::TrackBar1Change);
}

void TForm2::TrackBar1Change()
{
    // A refused level leaves the volume as it was; nothing is reported.
    ProcessVolume::instance().applyBalance(TrackBar1->value());
}

void TForm2::showEvent(QShowEvent *event)
{
    if (anchor_)
        move(anchor_->geometry().left() + kOffsetFromMainWindow, anchor_->geometry().top());
    QWidget::showEvent(event);
}

void TForm2::closeEvent(QCloseEvent *event)
{
    Q_EMIT closing();
    QWidget::closeEvent(event);
}
