#pragma once
// The tab "时间表设置": which timetable plays on each weekday (table x_sjbsz, one row,
// "无" for a day on which nothing plays) and the dates on which nothing plays (x_jrb).
//
// Saving the weekly assignment also sets the resolution date `strrqr` to yesterday and
// saves the settings file, so the main window's day-change watcher resolves today's
// timetable again within 6 s. A holiday takes effect at the next resolution.

#include <QDate>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

class WeeklyAssignmentTab : public QWidget
{
    Q_OBJECT
public:
    explicit WeeklyAssignmentTab(QWidget *parent = nullptr);

    // Asks for a date for ">>>"; no value when the picker was closed without one. Default:
    // the modal TBrDateForm.
    void setDateChooser(std::function<std::optional<QDate>()> chooser);

    QGroupBox *weeklyGroup; // "设备每天播放的时间表(把时间表设置为无则不播放)"
    QLabel *Label6;         // "星期一" ... Label12 "星期日"
    QLabel *Label7;
    QLabel *Label8;
    QLabel *Label9;
    QLabel *Label10;
    QLabel *Label11;
    QLabel *Label12;
    QComboBox *cbxq1; // timetable of Monday ... cbxq7 Sunday
    QComboBox *cbxq2;
    QComboBox *cbxq3;
    QComboBox *cbxq4;
    QComboBox *cbxq5;
    QComboBox *cbxq6;
    QComboBox *cbxq7;
    QPushButton *BitBtn22; // "保存" of the weekly assignment
    QLabel *Label28;       // hint: save after choosing

    QGroupBox *holidayGroup; // "下列日期不播放(节假日)"
    QLabel *Label13;         // "选择日期"
    QLineEdit *Edit3;        // the holiday to add, "yyyy-MM-dd" with an optional time
    QPushButton *BitBtn23;   // ">>>": the date picker; shown while Edit3 has had the focus
    QTableView *DBGrid3;     // the holidays, bound to qjr
    QPushButton *BitBtn24;   // "保存" of a holiday
    QPushButton *BitBtn25;   // "删除" of a holiday
    QLabel *Label17;         // hint: when a holiday takes effect

    // The seven lists, Monday first.
    const std::array<QComboBox *, 7> &weekdayLists() const { return lists_; }

    // Loads the tab (after every switch to it): timetable names and "无" into the seven
    // lists, each list's stored choice selected, the holiday grid opened.
    void load();

    void BitBtn22Click();
    void Edit3Enter();
    void BitBtn23Click();
    void BitBtn24Click();
    void BitBtn25Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openHolidays();

    std::array<QComboBox *, 7> lists_{};
    std::function<std::optional<QDate>()> chooseDate_;
};

// Reads a holiday typed as "yyyy-MM-dd" (month and day may have one digit), optionally
// followed by a time "H:mm" or "H:mm:ss". Invalid when it cannot be read.
QDateTime parseHolidayText(const QString &text, bool *hasTime = nullptr);
