#include "editors/weekly_assignment.h"
#include "core/named_widget.h"

#include "core/clock.h"
#include "core/message_box.h"
#include "core/settings.h"
#include "core/time_helpers.h"
#include "db/db_grid.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "editors/date_picker.h"

#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString noTimetable = QStringLiteral("无");

const std::array<QString, 7> weekdayNames = {
    QStringLiteral("星期一"), QStringLiteral("星期二"), QStringLiteral("星期三"), QStringLiteral("星期四"),
    QStringLiteral("星期五"), QStringLiteral("星期六"), QStringLiteral("星期日"),
};

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text = {})
{
    return named(new QLabel(text, parent), name);
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text, const QString &accessible)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(accessible);
    return b;
}

QLabel *makeHint(QWidget *parent, const char *name, const QString &text)
{
    QLabel *l = makeLabel(parent, name, text);
    l->setWordWrap(true);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(p);
    return l;
}

// Shows a message and writes it to the log.
void tell(QWidget *parent, const QString &text)
{
    qInfo().noquote() << QStringLiteral("chimecast: weekly assignment:") << text;
    MessageBox::information(parent, text);
}

void tellDbError(QWidget *parent, const DbError &e)
{
    qWarning().noquote() << QStringLiteral("chimecast: weekly assignment: database error:") << e.text();
    MessageBox::information(parent, QStringLiteral("数据库操作失败：%1").arg(e.text()));
}

// The row the user has selected in a grid, else the query's current row.
int currentRow(QTableView *grid, TQuery *query)
{
    const QModelIndex index = grid->selectionModel() ? grid->selectionModel()->currentIndex() : QModelIndex();
    if (index.isValid() && index.row() < query->recordCount())
        return index.row();
    return query->recNo();
}

} // namespace

QDateTime parseHolidayText(const QString &text, bool *hasTime)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    if (hasTime)
        *hasTime = false;
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return {};
    if (m.captured(4).isEmpty())
        return QDateTime(date, QTime(0, 0));
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).isEmpty() ? 0 : m.captured(6).toInt());
    if (!time.isValid())
        return {};
    if (hasTime)
        *hasTime = true;
    return QDateTime(date, time);
}

WeeklyAssignmentTab::WeeklyAssignmentTab(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("WeeklyAssignmentTab"));

    weeklyGroup = new QGroupBox(QStringLiteral("设备每天播放的时间表(把时间表设置为无则不播放)"), this);
    weeklyGroup->setObjectName(QStringLiteral("weeklyGroup"));
    Label6 = makeLabel(weeklyGroup, "Label6");
    Label7 = makeLabel(weeklyGroup, "Label7");
    Label8 = makeLabel(weeklyGroup, "Label8");
    Label9 = makeLabel(weeklyGroup, "Label9");
    Label10 = makeLabel(weeklyGroup, "Label10");
    Label11 = makeLabel(weeklyGroup, "Label11");
    Label12 = makeLabel(weeklyGroup, "Label12");
    const std::array<QLabel *, 7> labels = {Label6, Label7, Label8, Label9, Label10, Label11, Label12};
    auto *grid = new QGridLayout;
    for (int i = 0; i < 7; ++i) {
        auto *list = new QComboBox(weeklyGroup);
        list->setObjectName(QStringLiteral("cbxq%1").arg(i + 1));
        list->setEditable(false);
        list->setMaxVisibleItems(30);
        list->setMinimumWidth(220);
        labels[size_t(i)]->setText(weekdayNames[size_t(i)]);
        labels[size_t(i)]->setBuddy(list);
        list->setAccessibleName(weekdayNames[size_t(i)]);
        lists_[size_t(i)] = list;
        grid->addWidget(labels[size_t(i)], i, 0);
        grid->addWidget(list, i, 1);
    }
    cbxq1 = lists_[0];
    cbxq2 = lists_[1];
    cbxq3 = lists_[2];
    cbxq4 = lists_[3];
    cbxq5 = lists_[4];
    cbxq6 = lists_[5];
    cbxq7 = lists_[6];
    BitBtn22 = makeButton(weeklyGroup, "BitBtn22", QStringLiteral("保存"), QStringLiteral("保存每天播放的时间表"));
    grid->addWidget(BitBtn22, 7, 1, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
    Label28 = makeHint(weeklyGroup, "Label28", QStringLiteral("提示：设置好每天播放时间表后，点上面的保存按钮！"));
    auto *upper = new QVBoxLayout(weeklyGroup);
    upper->addLayout(grid);
    upper->addWidget(Label28);
    upper->addStretch();

    holidayGroup = new QGroupBox(QStringLiteral("下列日期不播放(节假日)"), this);
    holidayGroup->setObjectName(QStringLiteral("holidayGroup"));
    Label13 = makeLabel(holidayGroup, "Label13", QStringLiteral("选择日期"));
    Edit3 = new QLineEdit(holidayGroup);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit3->setPlaceholderText(QStringLiteral("yyyy-MM-dd"));
    Label13->setBuddy(Edit3);
    Edit3->setAccessibleName(QStringLiteral("选择日期"));
    Edit3->installEventFilter(this);
    BitBtn23 = makeButton(holidayGroup, "BitBtn23", QStringLiteral(">>>"), QStringLiteral("打开日期选择"));
    BitBtn23->setFixedWidth(40);
    BitBtn23->hide();
    DBGrid3 = new QTableView(holidayGroup);
    DBGrid3->setObjectName(QStringLiteral("DBGrid3"));
    DBGrid3->setAccessibleName(QStringLiteral("不播放日期(节假日)"));
    DBGrid3->verticalHeader()->hide();
    DBGrid3->setMinimumWidth(330);
    bindGrid(DBGrid3, dbhouse().qjr, {{QStringLiteral("rq"), QStringLiteral("不播放日期(节假日)")}});
    auto widen = [this] {
        const int column = dbhouse().qjr->fieldNames().indexOf(QStringLiteral("rq"));
        if (column >= 0)
            DBGrid3->setColumnWidth(column, 308);
    };
    connect(dbhouse().qjr, &QAbstractItemModel::modelReset, DBGrid3, widen);
    BitBtn24 = makeButton(holidayGroup, "BitBtn24", QStringLiteral("保存"), QStringLiteral("保存节假日"));
    BitBtn25 = makeButton(holidayGroup, "BitBtn25", QStringLiteral("删除"), QStringLiteral("删除节假日"));
    Label17 =
        makeHint(holidayGroup, "Label17",
                 QStringLiteral("提示：节假日在下次导入今日时间表时生效（次日、重新启动软件或点“手工重导入时间表”后），"
                                "今天的也是如此！"));
    auto *entry = new QHBoxLayout;
    entry->addWidget(Label13);
    entry->addWidget(Edit3);
    entry->addWidget(BitBtn23);
    entry->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn24);
    buttons->addWidget(BitBtn25);
    buttons->addStretch();
    auto *lower = new QVBoxLayout(holidayGroup);
    lower->addLayout(entry);
    lower->addWidget(DBGrid3, 1);
    lower->addLayout(buttons);
    lower->addWidget(Label17);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(weeklyGroup, 2);
    layout->addWidget(holidayGroup, 3);

    connect(BitBtn22, &QPushButton::clicked, this, [this] { BitBtn22Click(); });
    connect(BitBtn23, &QPushButton::clicked, this, [this] { BitBtn23Click(); });
    connect(BitBtn24, &QPushButton::clicked, this, [this] { BitBtn24Click(); });
    connect(BitBtn25, &QPushButton::clicked, this, [this] { BitBtn25Click(); });

    chooseDate_ = [this]() -> std::optional<QDate> {
        TBrDateForm picker(window());
        if (picker.exec() != QDialog::Accepted)
            return std::nullopt;
        return picker.date();
    };
}

void WeeklyAssignmentTab::setDateChooser(std::function<std::optional<QDate>()> chooser)
{
    chooseDate_ = std::move(chooser);
}

bool WeeklyAssignmentTab::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Edit3 && event->type() == QEvent::FocusIn)
        Edit3Enter();
    return QWidget::eventFilter(watched, event);
}

void WeeklyAssignmentTab::load()
{
    Tdbhouse &db = dbhouse();
    TQuery *q = db.qcx;
    try {
        q->close();
        q->setSql(Sql::selectTimetableNames);
        q->open();
        QStringList names;
        for (q->first(); !q->eof(); q->next())
            names.append(q->fieldText(QStringLiteral("sjmc")));
        q->close();
        names.append(noTimetable);
        for (QComboBox *list : lists_) {
            list->clear();
            list->addItems(names);
            list->setCurrentIndex(-1);
        }

        q->setSql(Sql::selectWeeklyForEditor);
        q->open();
        if (!q->eof()) {
            for (int i = 0; i < 7; ++i) {
                const QString stored = q->fieldText(QStringLiteral("xq%1").arg(i + 1));
                const int index = lists_[size_t(i)]->findText(stored, Qt::MatchExactly);
                lists_[size_t(i)]->setCurrentIndex(index);
                if (index < 0)
                    qInfo().noquote() << QStringLiteral("chimecast: weekly assignment: %1 names \"%2\", which no "
                                                        "longer exists")
                                             .arg(weekdayNames[size_t(i)], stored);
            }
        }
        q->close();
        openHolidays();
    } catch (const DbError &e) {
        q->close();
        tellDbError(this, e);
    }
}

void WeeklyAssignmentTab::openHolidays()
{
    TQuery *q = dbhouse().qjr;
    q->close();
    q->setSql(Sql::selectHolidaysById);
    q->open();
}

void WeeklyAssignmentTab::BitBtn22Click()
{
    for (size_t i = 0; i < lists_.size(); ++i) {
        if (lists_[i]->currentIndex() < 0) {
            tell(this, weekdayNames[i] + QStringLiteral("不能为空！"));
            lists_[i]->setFocus();
            return;
        }
    }
    TQuery *q = dbhouse().qup;
    try {
        // One transaction, so a player sharing the server never reads the week half-saved.
        dbhouse().inTransaction([&] {
            q->close();
            q->setSql(Sql::updateWeekly);
            for (size_t i = 0; i < lists_.size(); ++i)
                q->setParam(QStringLiteral("xq%1").arg(i + 1), lists_[i]->currentText());
            if (q->execSql() == 0) {
                // The table lost its one row: the assignment would be stored nowhere.
                TQuery *in = dbhouse().qin;
                in->close();
                in->setSql(Sql::insertWeekly);
                for (size_t i = 0; i < lists_.size(); ++i)
                    in->setParam(QStringLiteral("xq%1").arg(i + 1), lists_[i]->currentText());
                in->execSql();
            }
        });
    } catch (const DbError &e) {
        tellDbError(this, e);
        return;
    }

    // A resolution date other than today makes the day-change watcher resolve again.
    TGlobal &s = appSettings();
    s.strrqr = settingsDateText(appClock().now().date().addDays(-1));
    QString error;
    if (!s.SaveSettings(&error)) {
        qWarning().noquote() << QStringLiteral("chimecast: weekly assignment: settings not saved:") << error;
        MessageBox::information(this, QStringLiteral("时间表设置已保存，但设置文件无法保存：%1！").arg(error));
        return;
    }
    tell(this, QStringLiteral("数据保存成功！"));
}

void WeeklyAssignmentTab::Edit3Enter()
{
    BitBtn23->show();
}

void WeeklyAssignmentTab::BitBtn23Click()
{
    const std::optional<QDate> chosen = chooseDate_ ? chooseDate_() : std::nullopt;
    if (chosen && chosen->isValid())
        Edit3->setText(settingsDateText(*chosen));
    BitBtn23->hide();
}

void WeeklyAssignmentTab::BitBtn24Click()
{
    const QString text = Edit3->text();
    if (text.trimmed().isEmpty()) {
        tell(this, QStringLiteral("日期不能为空！"));
        return;
    }
    bool hasTime = false;
    const QDateTime when = parseHolidayText(text, &hasTime);
    if (!when.isValid()) {
        tell(this, QStringLiteral("日期格式不对！"));
        return;
    }
    try {
        TQuery *in = dbhouse().qin;
        in->close();
        in->setSql(Sql::insertHoliday);
        // A date alone is stored as a date, as the holiday check and the grid read it.
        in->setParam(QStringLiteral("rq"), hasTime ? QVariant(when) : QVariant(when.date()));
        in->execSql();
        qInfo().noquote() << QStringLiteral("chimecast: holiday added:") << text.trimmed();
        openHolidays();
    } catch (const DbError &e) {
        tellDbError(this, e);
    }
}

void WeeklyAssignmentTab::BitBtn25Click()
{
    TQuery *q = dbhouse().qjr;
    if (!q->isActive() || q->recordCount() == 0)
        return;
    const int row = currentRow(DBGrid3, q);
    if (!MessageBox::askYesNo(this, QStringLiteral("询问"), QStringLiteral("您确定要删除选择了的这条记录吗？")))
        return;
    try {
        const int iid = q->value(row, QStringLiteral("iid")).toInt();
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteHoliday);
        up->setParam(QStringLiteral("iid"), iid);
        up->execSql();
        qInfo().noquote() << QStringLiteral("chimecast: holiday deleted: iid") << iid;
        openHolidays();
    } catch (const DbError &e) {
        tellDbError(this, e);
    }
}
