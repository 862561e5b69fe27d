#pragma once
// "播放记录": the as-run log of one day (today when opened), every event or problems only,
// exported to a CSV file; a button runs tomorrow's check at once. Also the delegate that
// shows a programme none of whose items could be played ("未能播放") in red in today's grid.

#include "db/as_run_log.h"

#include <QDialog>
#include <QStyledItemDelegate>

#include <functional>

class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

class AsRunLogWindow : public QDialog
{
    Q_OBJECT
public:
    struct Context
    {
        AsRunLog *log = nullptr;                // the log shown
        std::function<QDate()> today;           // the date shown when the window opens
        std::function<void()> runTomorrowCheck; // the check on demand; writes to the log
        // Asks where to export; empty when the user cancels. Defaults to a save dialog.
        std::function<QString(QWidget *parent, const QString &suggested)> chooseExportPath;
    };

    explicit AsRunLogWindow(Context context, QWidget *parent = nullptr);

    // Shows today's log and raises the window.
    void open();
    // Reads the day chosen again.
    void reload();
    void exportButtonClick();
    void checkButtonClick();

    QDateEdit *dateEdit;       // the day shown
    QCheckBox *problemsOnly;   // "只看问题"
    QTableWidget *logGrid;     // the rows of the day
    QPushButton *exportButton; // "导出CSV"
    QPushButton *checkButton;  // "检查明天的节目"
    QPushButton *closeButton;  // "关闭"
    QLabel *summary;           // how many rows and problems

Q_SIGNALS:
    // The user opened the log (the first tab's problem line goes away).
    void opened();

private:
    Context c_;
    QList<AsRunRecord> rows_;
};

// Paints the rows of a grid in red whose column `bfzt` holds "未能播放".
class FailedRowDelegate : public QStyledItemDelegate
{
public:
    explicit FailedRowDelegate(QObject *parent = nullptr)
        : QStyledItemDelegate(parent)
    {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
