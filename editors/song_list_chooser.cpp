#include "editors/song_list_chooser.h"

#include "core/logging.h"
#include "core/message_box.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

SongListChooser::SongListChooser(QWidget *parent, SongSelectionHooks hooks)
    : QDialog(parent),
      hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("SongListChooser"));
    setWindowTitle(QStringLiteral("选择歌曲列表"));
    resize(640, 400);
    auto *listsLabel = new QLabel(QStringLiteral("已保存的歌曲列表"), this);
    lbLists = new QListWidget(this);
    lbLists->setObjectName(QStringLiteral("lbLists"));
    lbLists->setAccessibleName(listsLabel->text());
    listsLabel->setBuddy(lbLists);
    auto *songsLabel = new QLabel(QStringLiteral("包括的歌曲内容"), this);
    mmSongs = new QPlainTextEdit(this);
    mmSongs->setObjectName(QStringLiteral("mmSongs"));
    mmSongs->setReadOnly(true);
    mmSongs->setAccessibleName(songsLabel->text());
    songsLabel->setBuddy(mmSongs);
    btnNew = new QPushButton(QStringLiteral("新建列表"), this);
    btnNew->setObjectName(QStringLiteral("btnNew"));
    btnNew->setAutoDefault(false);
    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnBack = new QPushButton(QStringLiteral("返回"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnBack->setAutoDefault(false);

    auto *left = new QVBoxLayout;
    left->addWidget(listsLabel);
    left->addWidget(lbLists);
    auto *right = new QVBoxLayout;
    right->addWidget(songsLabel);
    right->addWidget(mmSongs);
    auto *top = new QHBoxLayout;
    top->addLayout(left, 3);
    top->addLayout(right, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnNew);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnBack);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    connect(lbLists, &QListWidget::currentRowChanged, this, [this] { showSongs(); });
    connect(lbLists, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(btnNew, &QPushButton::clicked, this, [this] { btnNewClick(); });
    connect(btnOk, &QPushButton::clicked, this, [this] {
        if (!chosen().isEmpty())
            accept();
    });
    connect(btnBack, &QPushButton::clicked, this, &QDialog::reject);
    loadLists();
}

void SongListChooser::loadLists(const QString &select)
{
    lbLists->clear();
    try {
        TQuery *q = dbhouse().qcx;
        q->close();
        q->setSql(Sql::selectSavedListNames);
        q->open();
        for (q->first(); !q->eof(); q->next())
            lbLists->addItem(q->fieldText(QStringLiteral("lbmc")));
        q->close();
    } catch (const DbError &e) {
        qCWarning(lcSongLists).noquote() << e.text();
        MessageBox::information(this, e.text());
    }
    const QList<QListWidgetItem *> found =
        select.isEmpty() ? QList<QListWidgetItem *>() : lbLists->findItems(select, Qt::MatchExactly);
    lbLists->setCurrentRow(found.isEmpty() ? (lbLists->count() > 0 ? 0 : -1) : lbLists->row(found.first()));
    btnOk->setEnabled(lbLists->count() > 0);
}

QString SongListChooser::chosen() const
{
    const QListWidgetItem *item = lbLists->currentItem();
    return item ? item->text() : QString();
}

void SongListChooser::showSongs()
{
    mmSongs->clear();
    const QString name = chosen();
    if (name.isEmpty())
        return;
    try {
        TQuery *q = dbhouse().qcx;
        q->close();
        q->setSql(Sql::selectSavedListForEdit);
        q->setParam(QStringLiteral("lbmc"), name);
        q->open();
        for (q->first(); !q->eof(); q->next())
            mmSongs->appendPlainText(q->fieldText(QStringLiteral("wjmc")));
        q->close();
    } catch (const DbError &e) {
        qCWarning(lcSongLists).noquote() << e.text();
    }
}

void SongListChooser::btnNewClick()
{
    QStringList before;
    for (int i = 0; i < lbLists->count(); ++i)
        before.append(lbLists->item(i)->text());
    try {
        TQuery *q = dbhouse().qgqmx;
        q->close();
        q->setSql(Sql::selectScratch);
        q->open();
    } catch (const DbError &e) {
        qCWarning(lcSongLists).noquote() << e.text();
        MessageBox::information(this, e.text());
        return;
    }
    {
        TFormxzgqlb dialog(this, hooks_);
        if (showDialog)
            showDialog(dialog);
        else
            dialog.exec();
    }
    // Select the list the dialog saved (a name that was not there before), if any.
    loadLists();
    for (int i = 0; i < lbLists->count(); ++i)
        if (!before.contains(lbLists->item(i)->text())) {
            lbLists->setCurrentRow(i);
            break;
        }
}

QString chooseSongList(QWidget *parent)
{
    SongListChooser chooser(parent);
    return chooser.exec() == QDialog::Accepted ? chooser.chosen() : QString();
}
