#include "editors/timetable_editor.h"
#include "core/named_widget.h"

#include "core/message_box.h"
#include "db/db_grid.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"

#include <QComboBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <cmath>

namespace {

struct Column
{
    const char *field;
    const char *title;
    int width;
};

// The grid's columns, in order, with their widths in pixels.
const Column kColumns[] = {
    {"jmmc", "节目名称", 100},   {"kssj", "开始时间", 100},
    {"jssj", "结束时间", 100},   {"wjpath", "歌曲列表或歌曲或文件夹", 265},
    {"bfsc", "时长", 100},       {"yldx", "音量", 62},
    {"bffs", "播放方式", 85},    {"bfzt", "播放状态", 69},
    {"sjmc", "时间表名称", 100},
};

void tell(QWidget *parent, const QString &text)
{
    qWarning().noquote() << QStringLiteral("chimecast: timetable editor: %1").arg(text);
    MessageBox::information(parent, text);
}

QPushButton *button(const char *name, const QString &text, QWidget *parent)
{
    return named(new QPushButton(text, parent), name);
}

} // namespace

TimetableEditorTab::TimetableEditorTab(TimetableEditorContext context, QObject *parent)
    : QObject(parent),
      context_(std::move(context))
{
    QWidget *tab = context_.tab;
    Label3 = new QLabel(QStringLiteral("编辑时间表"), tab);
    Label3->setObjectName(QStringLiteral("Label3"));
    ComboBox1 = new QComboBox(tab);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setMaxVisibleItems(30);
    ComboBox1->setMinimumWidth(200);
    ComboBox1->setAccessibleName(Label3->text());
    Label3->setBuddy(ComboBox1);
    Label5 = new QLabel(QStringLiteral("(时间表名称可以直接输入)"), tab);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label4 = new QLabel(QStringLiteral("从时间表"), tab);
    Label4->setObjectName(QStringLiteral("Label4"));
    ComboBox2 = new QComboBox(tab);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setMaxVisibleItems(30);
    ComboBox2->setMinimumWidth(200);
    ComboBox2->setAccessibleName(QStringLiteral("从时间表导入"));
    Label4->setBuddy(ComboBox2);
    BitBtn17 = button("BitBtn17", QStringLiteral("导入"), tab);

    DBGrid2 = new QTableView(tab);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setAccessibleName(QStringLiteral("时间表节目"));
    TQuery *q = dbhouse().qsjcx;
    std::vector<GridColumn> columns;
    for (const Column &c : kColumns)
        columns.push_back({QLatin1String(c.field), QString::fromUtf8(c.title)});
    bindGrid(DBGrid2, q, columns);
    DBGrid2->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    auto widths = [this, q] {
        const QStringList fields = q->fieldNames();
        for (const Column &c : kColumns) {
            const qsizetype i = fields.indexOf(QLatin1String(c.field));
            if (i >= 0)
                DBGrid2->setColumnWidth(static_cast<int>(i), c.width);
        }
    };
    widths();
    connect(q, &QAbstractItemModel::modelReset, DBGrid2, widths);
    // The row the user selects is the current row that "修改" and "删除一条" act on.
    connect(DBGrid2->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [q](const QModelIndex &current) {
        if (current.isValid() && current.row() != q->recNo())
            q->moveTo(current.row());
    });
    connect(DBGrid2, &QTableView::doubleClicked, this, [this] { BitBtn20Click(); });

    BitBtn18 = button("BitBtn18", QStringLiteral("新增"), tab);
    BitBtn20 = button("BitBtn20", QStringLiteral("修改"), tab);
    BitBtn19 = button("BitBtn19", QStringLiteral("删除一条"), tab);
    BitBtn21 = button("BitBtn21", QStringLiteral("删除全部"), tab);

    auto *top = new QHBoxLayout;
    top->addWidget(Label3);
    top->addWidget(ComboBox1);
    top->addWidget(Label5);
    top->addSpacing(24);
    top->addWidget(Label4);
    top->addWidget(ComboBox2);
    top->addWidget(BitBtn17);
    top->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    for (QPushButton *b : {BitBtn18, BitBtn20, BitBtn19, BitBtn21})
        bottom->addWidget(b);
    auto *layout = new QVBoxLayout(tab);
    layout->addLayout(top);
    layout->addWidget(DBGrid2);
    layout->addLayout(bottom);

    connect(ComboBox1, &QComboBox::editTextChanged, this, [this] {
        if (!loading_)
            ComboBox1Change();
    });
    connect(BitBtn17, &QPushButton::clicked, this, [this] { BitBtn17Click(); });
    connect(BitBtn18, &QPushButton::clicked, this, [this] { BitBtn18Click(); });
    connect(BitBtn20, &QPushButton::clicked, this, [this] { BitBtn20Click(); });
    connect(BitBtn19, &QPushButton::clicked, this, [this] { BitBtn19Click(); });
    connect(BitBtn21, &QPushButton::clicked, this, [this] { BitBtn21Click(); });
}

bool TimetableEditorTab::fillNameLists()
{
    QStringList names;
    try {
        TQuery *q = dbhouse().qcx;
        q->close();
        q->setSql(Sql::selectTimetableNames);
        q->open();
        for (q->first(); !q->eof(); q->next())
            names.append(q->fieldText(QStringLiteral("sjmc")));
        q->close();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
        return false;
    }
    loading_ = true;
    ComboBox1->clear();
    ComboBox2->clear();
    ComboBox1->addItems(names);
    ComboBox2->addItems(names);
    ComboBox2->setCurrentIndex(-1);
    loading_ = false;
    return true;
}

void TimetableEditorTab::load()
{
    if (!fillNameLists())
        return;
    loading_ = true;
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
    ComboBox1->setEditText(ComboBox1->count() > 0 ? ComboBox1->itemText(0) : QString());
    loading_ = false;
    openGrid(ComboBox1->currentText());
}

void TimetableEditorTab::openGrid(const QString &name)
{
    TQuery *q = dbhouse().qsjcx;
    try {
        q->close();
        q->setSql(Sql::selectTimetableForEditor);
        q->setParam(QStringLiteral("sjmc"), name);
        q->open();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
    }
}

void TimetableEditorTab::ComboBox1Change()
{
    if (ComboBox1->currentText().isEmpty()) {
        dbhouse().qsjcx->close();
        return;
    }
    openGrid(ComboBox1->currentText());
}

void TimetableEditorTab::BitBtn17Click()
{
    const QString target = ComboBox1->currentText();
    if (target.isEmpty()) {
        tell(context_.tab, QStringLiteral("编辑时间表不能为空！"));
        return;
    }
    if (ComboBox2->currentIndex() < 0)
        return;
    const QString source = ComboBox2->currentText();
    TQuery *ls = dbhouse().qls;
    try {
        ls->close();
        ls->setSql(Sql::selectTimetableImportSource);
        ls->setParam(QStringLiteral("sjmc"), source);
        ls->open();
        if (ls->recordCount() == 0) {
            ls->close();
            tell(context_.tab, source + QStringLiteral("没有记录，不能导入数据！"));
            return;
        }
        // The target's programmes go only together with the copies coming in.
        dbhouse().inTransaction([&] {
            TQuery *up = dbhouse().qup;
            up->close();
            up->setSql(Sql::deleteTimetable);
            up->setParam(QStringLiteral("sjmc"), target);
            up->execSql();
            TQuery *in = dbhouse().qin;
            for (ls->first(); !ls->eof(); ls->next()) {
                in->close();
                in->setSql(Sql::insertEntryLine1, Sql::insertEntryLine2);
                in->setParam(QStringLiteral("sjmc"), target);
                for (const char *f : {"jmmc", "wjpath", "bfsc", "bffs", "wjbz"})
                    in->setParam(QLatin1String(f), ls->fieldText(QLatin1String(f)));
                in->setParam(QStringLiteral("kssj"), ls->field(QStringLiteral("kssj")));
                in->setParam(QStringLiteral("jssj"), ls->field(QStringLiteral("jssj")));
                const QVariant volume = ls->field(QStringLiteral("yldx"));
                // Rounded to the nearest whole number, halves to the even one (50.5 -> 50).
                in->setParam(QStringLiteral("yldx"),
                             volume.isNull() ? QVariant() : QVariant(std::nearbyint(volume.toDouble())));
                in->setParam(QStringLiteral("bfzt"), QStringLiteral("未播放"));
                in->execSql();
            }
        });
        ls->close();
    } catch (const DbError &e) {
        ls->close();
        tell(context_.tab, QStringLiteral("导入失败：%1").arg(e.text()));
        return;
    }
    qInfo().noquote() << QStringLiteral("chimecast: timetable editor: imported %1 into %2").arg(source, target);
    openGrid(target);
}

void TimetableEditorTab::showEditor(TFormbjjm &dialog)
{
    if (context_.showProgrammeEditor)
        context_.showProgrammeEditor(dialog);
    else
        dialog.exec();
}

void TimetableEditorTab::BitBtn18Click()
{
    const QString name = ComboBox1->currentText();
    if (name.isEmpty()) {
        tell(context_.tab, QStringLiteral("编辑时间表不能为空！"));
        return;
    }
    programmeAddMode = true;
    {
        TFormbjjm dialog(context_.tab, context_.programmeHooks);
        dialog.Edit5->setText(name);
        dialog.BitBtn6Click();
        showEditor(dialog);
    }
    const QString typed = ComboBox1->currentText();
    if (!fillNameLists())
        return;
    loading_ = true;
    ComboBox1->setEditText(typed);
    loading_ = false;
}

void TimetableEditorTab::BitBtn20Click()
{
    TQuery *q = dbhouse().qsjcx;
    if (!q->isActive() || q->recordCount() == 0 || q->eof())
        return;
    programmeAddMode = false;
    TFormbjjm dialog(context_.tab, context_.programmeHooks);
    dialog.Edit1->setText(q->fieldText(QStringLiteral("jmmc")));
    dialog.Edit5->setText(ComboBox1->currentText());
    const QTime start = timeFromDb(q->field(QStringLiteral("kssj")));
    const QTime end = timeFromDb(q->field(QStringLiteral("jssj")));
    dialog.dtp1->setTime(start.isValid() ? start : QTime(0, 0));
    dialog.dtp2->setTime(end.isValid() ? end : QTime(0, 0));
    dialog.Edit2->setText(q->fieldText(QStringLiteral("wjpath")));
    dialog.edit3->setText(q->fieldText(QStringLiteral("bfsc")));
    dialog.Edit4->setText(q->fieldText(QStringLiteral("yldx")));
    dialog.ComboBox1->setCurrentIndex(dialog.ComboBox1->findText(q->fieldText(QStringLiteral("bffs"))));
    showEditor(dialog);
}

void TimetableEditorTab::BitBtn19Click()
{
    TQuery *q = dbhouse().qsjcx;
    if (!q->isActive() || q->recordCount() == 0 || q->eof())
        return;
    if (!MessageBox::askYesNo(context_.tab, QStringLiteral("询问"), QStringLiteral("您确定要删除选中的这条记录吗？")))
        return;
    const int iid = q->field(QStringLiteral("iid")).toInt();
    try {
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteEntry);
        up->setParam(QStringLiteral("iid"), iid);
        up->execSql();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
        return;
    }
    qInfo().noquote() << QStringLiteral("chimecast: timetable editor: deleted programme %1").arg(iid);
    openGrid(ComboBox1->currentText());
}

void TimetableEditorTab::BitBtn21Click()
{
    const QString name = ComboBox1->currentText();
    if (name.isEmpty()) {
        tell(context_.tab, QStringLiteral("编辑时间表不能为空！"));
        return;
    }
    TQuery *q = dbhouse().qsjcx;
    if (!q->isActive() || q->recordCount() == 0)
        return;
    if (!MessageBox::askYesNo(context_.tab, QStringLiteral("询问"), QStringLiteral("您确定要删除全部记录吗？")))
        return;
    try {
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteTimetable);
        up->setParam(QStringLiteral("sjmc"), name);
        up->execSql();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
        return;
    }
    qInfo().noquote() << QStringLiteral("chimecast: timetable editor: deleted every programme of %1").arg(name);
    openGrid(name);
}
