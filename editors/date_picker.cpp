#include "editors/date_picker.h"
#include "core/named_widget.h"

#include "core/clock.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text = {})
{
    return named(new QLabel(text, parent), name);
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TBrDateForm::TBrDateForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("BrDateForm"));
    setWindowTitle(QStringLiteral("选择日期"));
    // A fixed dialog with a title and no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    nf = makeLabel(this, "nf");
    Label1 = makeLabel(this, "Label1", QStringLiteral("年"));
    yf = makeLabel(this, "yf");
    Label3 = makeLabel(this, "Label3", QStringLiteral("月"));
    rq = makeLabel(this, "rq");
    Label5 = makeLabel(this, "Label5", QStringLiteral("日"));
    QFont big = nf->font();
    big.setBold(true);
    big.setPixelSize(16);
    for (QLabel *l : {nf, yf, rq})
        l->setFont(big);

    Calendar = new QCalendarWidget(this);
    Calendar->setObjectName(QStringLiteral("Calendar"));
    Calendar->setAccessibleName(QStringLiteral("日历"));
    // Weekday names in the program's language, whatever the system's locale.
    Calendar->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    Calendar->setFirstDayOfWeek(Qt::Sunday);
    Calendar->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    Calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    Calendar->setGridVisible(true);
    // The buttons below step through years and months.
    Calendar->setNavigationBarVisible(false);

    prioryear = makeButton(this, "prioryear", QStringLiteral("上年&P"));
    nextyear = makeButton(this, "nextyear", QStringLiteral("下年&N"));
    PrevMonthBtn = makeButton(this, "PrevMonthBtn", QStringLiteral("上月&S"));
    NextMonthBtn = makeButton(this, "NextMonthBtn", QStringLiteral("下月&X"));
    OKBtn = makeButton(this, "OKBtn", QStringLiteral("确定&Y"));
    cancelBtn = makeButton(this, "cancelBtn", QStringLiteral("关闭&C "));
    prioryear->setAccessibleName(QStringLiteral("上年"));
    nextyear->setAccessibleName(QStringLiteral("下年"));
    PrevMonthBtn->setAccessibleName(QStringLiteral("上月"));
    NextMonthBtn->setAccessibleName(QStringLiteral("下月"));
    OKBtn->setAccessibleName(QStringLiteral("确定"));
    cancelBtn->setAccessibleName(QStringLiteral("关闭"));

    auto *title = new QHBoxLayout;
    title->addStretch();
    for (QLabel *l : {nf, Label1, yf, Label3, rq, Label5})
        title->addWidget(l);
    title->addStretch();

    auto *buttons = new QGridLayout;
    buttons->addWidget(prioryear, 0, 0);
    buttons->addWidget(PrevMonthBtn, 0, 1);
    buttons->addWidget(NextMonthBtn, 0, 2);
    buttons->addWidget(nextyear, 0, 3);
    buttons->addWidget(OKBtn, 1, 2);
    buttons->addWidget(cancelBtn, 1, 3);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(title);
    layout->addWidget(Calendar);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Calendar, &QCalendarWidget::selectionChanged, this, [this] { CalendarChange(); });
    connect(Calendar, &QCalendarWidget::activated, this, [this] { CalendarDblClick(); });
    connect(prioryear, &QPushButton::clicked, this, [this] { prioryearClick(); });
    connect(nextyear, &QPushButton::clicked, this, [this] { nextyearClick(); });
    connect(PrevMonthBtn, &QPushButton::clicked, this, [this] { PrevMonthBtnClick(); });
    connect(NextMonthBtn, &QPushButton::clicked, this, [this] { NextMonthBtnClick(); });
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelBtn, &QPushButton::clicked, this, [this] { cancelBtnClick(); });

    setDate(appClock().now().date());
}

QDate TBrDateForm::date() const
{
    return Calendar->selectedDate();
}

void TBrDateForm::setDate(const QDate &date)
{
    if (!date.isValid())
        return;
    Calendar->setSelectedDate(date);
    Calendar->setCurrentPage(date.year(), date.month());
    CalendarChange();
}

void TBrDateForm::FormActivate()
{
    CalendarChange();
}

void TBrDateForm::CalendarChange()
{
    const QDate d = date();
    nf->setText(QString::number(d.year()));
    yf->setText(QString::number(d.month()));
    rq->setText(QString::number(d.day()));
    setAccessibleDescription(d.toString(QStringLiteral("yyyy-MM-dd")));
}

void TBrDateForm::CalendarDblClick()
{
    accept();
}

void TBrDateForm::prioryearClick()
{
    setDate(date().addYears(-1));
}

void TBrDateForm::nextyearClick()
{
    setDate(date().addYears(1));
}

void TBrDateForm::PrevMonthBtnClick()
{
    setDate(date().addMonths(-1));
}

void TBrDateForm::NextMonthBtnClick()
{
    setDate(date().addMonths(1));
}

void TBrDateForm::cancelBtnClick()
{
    reject();
}

void TBrDateForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    Calendar->setFocus();
}

void TBrDateForm::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}
