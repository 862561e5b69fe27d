#include "editors/song_list_tab.h"
#include "core/named_widget.h"

#include "core/logging.h"
#include "core/message_box.h"
#include "db/db_grid.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"

#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

void tell(QWidget *parent, const QString &text)
{
    qCWarning(lcSongLists).noquote() << text;
    MessageBox::information(parent, text);
}

QPushButton *button(const char *name, const QString &text, QWidget *parent)
{
    return named(new QPushButton(text, parent), name);
}

} // namespace

QStringList timetablesUsingSongList(const QString &name)
{
    QStringList names;
    TQuery *q = dbhouse().qls;
    q->close();
    q->setSql(Sql::selectTimetablesUsingList);
    q->setParam(QStringLiteral("wjpath"), name);
    q->setParam(QStringLiteral("wjbz"), QStringLiteral("2"));
    q->open();
    for (q->first(); !q->eof(); q->next())
        names.append(q->fieldText(QStringLiteral("sjmc")));
    q->close();
    return names;
}

SongListTab::SongListTab(SongListTabContext context, QObject *parent)
    : QObject(parent),
      context_(std::move(context))
{
    QWidget *tab = context_.tab;
    DBGrid1 = new QTableView(tab);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("歌曲列表名称"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TQuery *q = dbhouse().qgqlbhz;
    bindGrid(DBGrid1, q, {{QStringLiteral("lbmc"), QStringLiteral("歌曲列表名称")}});
    DBGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->setMinimumWidth(520);
    auto width = [this] { DBGrid1->setColumnWidth(0, 499); };
    width();
    connect(q, &QAbstractItemModel::modelReset, DBGrid1, width);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [q](const QModelIndex &current) {
        if (current.isValid() && current.row() != q->recNo())
            q->moveTo(current.row());
    });
    connect(DBGrid1, &QTableView::clicked, this, [this, q](const QModelIndex &index) {
        if (index.isValid())
            q->moveTo(index.row());
        DBGrid1CellClick();
    });

    GroupBox6 = new QGroupBox(QStringLiteral("包括的歌曲内容"), tab);
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    Memo1 = new QPlainTextEdit(GroupBox6);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setAccessibleName(GroupBox6->title());
    auto *group = new QVBoxLayout(GroupBox6);
    group->addWidget(Memo1);

    BitBtn12 = button("BitBtn12", QStringLiteral("新建列表"), tab);
    BitBtn13 = button("BitBtn13", QStringLiteral("打开列表"), tab);
    BitBtn14 = button("BitBtn14", QStringLiteral("删除一条"), tab);
    BitBtn15 = button("BitBtn15", QStringLiteral("清除全部"), tab);

    auto *top = new QHBoxLayout;
    top->addWidget(DBGrid1, 3);
    top->addWidget(GroupBox6, 2);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    for (QPushButton *b : {BitBtn12, BitBtn13, BitBtn14, BitBtn15})
        bottom->addWidget(b);
    auto *layout = new QVBoxLayout(tab);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);

    connect(BitBtn12, &QPushButton::clicked, this, [this] { BitBtn12Click(); });
    connect(BitBtn13, &QPushButton::clicked, this, [this] { BitBtn13Click(); });
    connect(BitBtn14, &QPushButton::clicked, this, [this] { BitBtn14Click(); });
    connect(BitBtn15, &QPushButton::clicked, this, [this] { BitBtn15Click(); });
}

void SongListTab::reopenLists()
{
    TQuery *q = dbhouse().qgqlbhz;
    q->close();
    q->setSql(Sql::selectSavedListNames);
    q->open();
}

void SongListTab::load()
{
    try {
        reopenLists();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
    }
}

QString SongListTab::currentList() const
{
    TQuery *q = dbhouse().qgqlbhz;
    if (!q->isActive() || q->recordCount() == 0 || q->eof())
        return {};
    return q->fieldText(QStringLiteral("lbmc"));
}

void SongListTab::DBGrid1CellClick()
{
    const QString name = currentList();
    if (name.isEmpty())
        return;
    try {
        TQuery *q = dbhouse().qls;
        q->close();
        q->setSql(Sql::selectSavedListSongNames);
        q->setParam(QStringLiteral("lbmc"), name);
        q->open();
        Memo1->clear();
        for (q->first(); !q->eof(); q->next())
            Memo1->appendPlainText(q->fieldText(QStringLiteral("wjmc")));
        q->close();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
    }
}

void SongListTab::showDialog()
{
    try {
        TQuery *q = dbhouse().qgqmx;
        q->close();
        q->setSql(Sql::selectScratch);
        q->open();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
        return;
    }
    TFormxzgqlb dialog(context_.tab ? context_.tab->window() : nullptr, context_.dialogHooks);
    if (context_.showDialog)
        context_.showDialog(dialog);
    else
        dialog.exec();
}

void SongListTab::BitBtn12Click()
{
    showDialog();
}

void SongListTab::BitBtn13Click()
{
    const QString name = currentList();
    if (name.isEmpty())
        return;
    try {
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteScratch);
        up->execSql();
        TQuery *q = dbhouse().qcx;
        q->close();
        q->setSql(Sql::selectSavedListForEdit);
        q->setParam(QStringLiteral("lbmc"), name);
        q->open();
        TQuery *in = dbhouse().qin;
        for (q->first(); !q->eof(); q->next()) {
            in->close();
            in->setSql(Sql::insertScratchFromSaved);
            in->setParam(QStringLiteral("wjpath"), q->fieldText(QStringLiteral("wjpath")));
            in->setParam(QStringLiteral("wjmc"), q->fieldText(QStringLiteral("wjmc")));
            in->setParam(QStringLiteral("lbmc"), q->fieldText(QStringLiteral("lbmc")));
            in->setParam(QStringLiteral("zsc"), timeFromDb(q->field(QStringLiteral("zsc"))));
            in->execSql();
        }
        q->close();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
        return;
    }
    showDialog();
}

void SongListTab::BitBtn14Click()
{
    const QString name = currentList();
    if (name.isEmpty())
        return;
    QStringList users;
    try {
        users = timetablesUsingSongList(name);
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
        return;
    }
    if (!users.isEmpty()) {
        // A programme of these timetables plays this list: deleting it leaves them silent.
        const QString question = QStringLiteral("时间表“%1”中的节目正在使用此歌曲列表，删除后这些节目将没有歌曲可播放。"
                                                "您确定要删除此条记录吗？")
                                     .arg(users.join(QStringLiteral("”、“")));
        if (!MessageBox::askYesNo(context_.tab, QStringLiteral("询问"), question))
            return;
    } else if (!MessageBox::askYesNo(context_.tab, QStringLiteral("询问"),
                                     QStringLiteral("您确定要删除此条记录吗？"))) {
        return;
    }
    Memo1->clear();
    if (QFile::exists(name) && !QFile::remove(name))
        qCWarning(lcSongLists).noquote() << QStringLiteral("could not remove the archive %1").arg(name);
    try {
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteSavedList);
        up->setParam(QStringLiteral("lbmc"), name);
        up->execSql();
        reopenLists();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
        return;
    }
    qCInfo(lcSongLists).noquote() << QStringLiteral("deleted song list %1").arg(name);
}

void SongListTab::BitBtn15Click()
{
    TQuery *q = dbhouse().qgqlbhz;
    if (!q->isActive() || q->recordCount() == 0)
        return;
    if (!MessageBox::askYesNo(context_.tab, QStringLiteral("询问"), QStringLiteral("您确定要清除全部记录吗？")))
        return;
    Memo1->clear();
    try {
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteAllSavedLists);
        up->execSql();
        reopenLists();
    } catch (const DbError &e) {
        tell(context_.tab, e.text());
        return;
    }
    qCInfo(lcSongLists) << "deleted every saved song list";
}
