#pragma once
// TBrDateForm "选择日期": the date picker of the holiday entry. A month calendar that starts
// on today's date, the chosen year, month and day spelled out above it, and buttons that
// step a year or a month at a time. A double-click on a day, or "确定&Y", closes it with
// the chosen date; "关闭&C " and Escape close it without one.

#include <QDate>
#include <QDialog>

class QCalendarWidget;
class QLabel;
class QPushButton;

class TBrDateForm : public QDialog
{
    Q_OBJECT
public:
    explicit TBrDateForm(QWidget *parent = nullptr);

    // The chosen date (no time part).
    QDate date() const;
    void setDate(const QDate &date);

    QLabel *nf;     // year number
    QLabel *Label1; // "年"
    QLabel *yf;     // month number
    QLabel *Label3; // "月"
    QLabel *rq;     // day number
    QLabel *Label5; // "日"
    QCalendarWidget *Calendar;
    QPushButton *prioryear;    // "上年&P"
    QPushButton *nextyear;     // "下年&N"
    QPushButton *PrevMonthBtn; // "上月&S"
    QPushButton *NextMonthBtn; // "下月&X"
    QPushButton *OKBtn;        // "确定&Y"
    QPushButton *cancelBtn;    // "关闭&C "

    void FormActivate();
    void CalendarChange();
    void CalendarDblClick();
    // A year step keeps month and day; 29 February becomes 28 February in a common year.
    void prioryearClick();
    void nextyearClick();
    // A month step keeps the day of the month, or takes the target month's last day when
    // that month is shorter (31 March -> 29 February 2024 -> 29 March 2024).
    void PrevMonthBtnClick();
    void NextMonthBtnClick();
    void cancelBtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
};
