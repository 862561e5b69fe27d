#include "editors/song_selection.h"

#include "core/logging.h"
#include "core/message_box.h"
#include "core/program_folder.h"
#include "db/db_grid.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "editors/song_list_archive.h"

#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <mutex>
#include <thread>

namespace {

void tell(QWidget *parent, const QString &text)
{
    qCWarning(lcSongLists).noquote() << text;
    MessageBox::information(parent, text);
}

QPushButton *button(const char *name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// Where "添加歌曲" opens: the folder of the songs added last (in this run of the program),
// else the user's music folder.
QString &lastSongFolder()
{
    static QString folder;
    return folder;
}

QString songFolder()
{
    if (!lastSongFolder().isEmpty() && QFileInfo(lastSongFolder()).isDir())
        return lastSongFolder();
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return QFileInfo(music).isDir() ? music : QDir::homePath();
}

QTime timeOfDay(qint64 secs)
{
    return QTime(0, 0).addSecs(static_cast<int>(secs % 86400));
}

} // namespace

QString TFormxzgqlb::openFilter()
{
    return QStringLiteral("音乐格式文件 (*.mp3 *.mid *.wav *.wma);;mid (*.mid);;wav(*.wav) (*.wav);;"
                          "mp3(*.mp3) (*.mp3);;wma(*.wma) (*.wma)");
}

QString TFormxzgqlb::saveFilter()
{
    return QStringLiteral("列表文件qk (*.qk)");
}

TFormxzgqlb::TFormxzgqlb(QWidget *parent, SongSelectionHooks hooks)
    : QDialog(parent),
      hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("Formxzgqlb"));
    setWindowTitle(QStringLiteral("编辑歌曲列表"));
    resize(680, 480);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("列表中的歌曲"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TQuery *q = dbhouse().qgqmx;
    bindGrid(DBGrid1, q,
             {{QStringLiteral("wjpath"), QStringLiteral("歌曲所在目录")},
              {QStringLiteral("zsc"), QStringLiteral("播放时间时长")}});
    DBGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    auto widths = [this, q] {
        const QStringList fields = q->fieldNames();
        const qsizetype path = fields.indexOf(QStringLiteral("wjpath"));
        const qsizetype length = fields.indexOf(QStringLiteral("zsc"));
        if (path >= 0)
            DBGrid1->setColumnWidth(static_cast<int>(path), 478);
        if (length >= 0)
            DBGrid1->setColumnWidth(static_cast<int>(length), 134);
    };
    widths();
    connect(q, &QAbstractItemModel::modelReset, DBGrid1, widths);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [q](const QModelIndex &current) {
        if (current.isValid() && current.row() != q->recNo())
            q->moveTo(current.row());
    });

    BitBtn1 = button("BitBtn1", QStringLiteral("添加歌曲"), this);
    BitBtn2 = button("BitBtn2", QStringLiteral("清除全部"), this);
    BitBtn3 = button("BitBtn3", QStringLiteral("删除一首"), this);
    BitBtn4 = button("BitBtn4", QStringLiteral("保存列表"), this);
    BitBtn5 = button("BitBtn5", QStringLiteral("返回"), this);

    pgWork = new QProgressBar(this);
    pgWork->setObjectName(QStringLiteral("pgWork"));
    pgWork->setAccessibleName(QStringLiteral("进度"));
    pgWork->setVisible(false);
    btnCancelWork = button("btnCancelWork", QStringLiteral("取消"), this);
    btnCancelWork->setVisible(false);

    sb1 = new QStatusBar(this);
    sb1->setObjectName(QStringLiteral("sb1"));
    sb1->setSizeGripEnabled(false);
    sb1Panel1 = new QLabel(QStringLiteral("总记录数："), sb1);
    sb1Panel1->setObjectName(QStringLiteral("sb1Panel1"));
    sb1Panel1->setFixedWidth(200);
    sb1Panel1->setAlignment(Qt::AlignCenter);
    sb1Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    sb1Panel2 = new QLabel(sb1);
    sb1Panel2->setObjectName(QStringLiteral("sb1Panel2"));
    sb1Panel2->setFixedWidth(200);
    sb1Panel2->setAccessibleName(QStringLiteral("总记录数"));
    sb1Panel1->setBuddy(sb1Panel2);
    sb1Note = new QLabel(sb1);
    sb1Note->setObjectName(QStringLiteral("sb1Note"));
    sb1Note->setAccessibleName(QStringLiteral("提示"));
    sb1->addWidget(sb1Panel1);
    sb1->addWidget(sb1Panel2);
    sb1->addWidget(sb1Note, 1);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {BitBtn1, BitBtn2, BitBtn3, BitBtn4, BitBtn5})
        buttons->addWidget(b);
    auto *work = new QHBoxLayout;
    work->addWidget(pgWork, 1);
    work->addWidget(btnCancelWork);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(work);
    layout->addLayout(buttons);
    layout->addWidget(sb1);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { BitBtn5Click(); });
    connect(btnCancelWork, &QPushButton::clicked, this, [this] { cancel_.store(true); });
    showCount();
}

TFormxzgqlb::~TFormxzgqlb()
{
    FormClose();
}

void TFormxzgqlb::refresh()
{
    TQuery *q = dbhouse().qgqmx;
    q->close();
    q->setSql(Sql::selectScratch);
    q->open();
}

void TFormxzgqlb::showCount()
{
    TQuery *q = dbhouse().qgqmx;
    sb1Panel2->setText(q->isActive() && q->recordCount() > 0 ? QString::number(q->recordCount()) : QString());
}

void TFormxzgqlb::setBusy(bool on, const QString &what)
{
    busy_ = on;
    for (QPushButton *b : {BitBtn1, BitBtn2, BitBtn3, BitBtn4, BitBtn5})
        b->setEnabled(!on);
    pgWork->setVisible(on);
    btnCancelWork->setVisible(on);
    pgWork->setValue(0);
    sb1Note->setText(what);
}

QList<int> TFormxzgqlb::measure(const QStringList &files)
{
    // FolderMeasurement measures in order on its own thread; the per-file lengths are
    // collected here, in that order, under a lock.
    struct Lengths
    {
        std::mutex lock;
        QList<int> secs;
    };
    auto lengths = std::make_shared<Lengths>();
    FolderMeasurement::MeasureFn one =
        hooks_.measure ? hooks_.measure : FolderMeasurement::MeasureFn([](const QString &p) {
            QString why;
            const int secs = mediaLengthSecs(p, &why);
            if (secs < 0)
                qCInfo(lcSongLists).noquote() << why;
            return secs;
        });
    FolderMeasurement measurement(nullptr, [lengths, one](const QString &path) {
        const int secs = one(path);
        std::lock_guard<std::mutex> hold(lengths->lock);
        lengths->secs.append(secs);
        return secs;
    });
    QEventLoop loop;
    bool cancelled = false;
    pgWork->setRange(0, static_cast<int>(files.size()));
    connect(&measurement, &FolderMeasurement::progress, this, [this](int done, int total) {
        pgWork->setValue(done);
        sb1Note->setText(QStringLiteral("正在读取歌曲时长 %1/%2").arg(done).arg(total));
    });
    connect(&measurement, &FolderMeasurement::finished, &loop, [&](qint64, int, bool wasCancelled) {
        cancelled = wasCancelled;
        loop.quit();
    });
    QTimer poll; // passes a cancel request on to the measurement
    connect(&poll, &QTimer::timeout, &measurement, [this, &measurement] {
        if (cancel_.load())
            measurement.cancel();
    });
    poll.start(50);
    measurement.start(files);
    loop.exec();
    if (cancelled)
        return {};
    std::lock_guard<std::mutex> hold(lengths->lock);
    return lengths->secs;
}

void TFormxzgqlb::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        // After the first paint, so the window is there while the songs are measured.
        QTimer::singleShot(0, this, [this] { FormShow(); });
    }
}

void TFormxzgqlb::FormShow()
{
    if (busy_)
        return;
    shown_ = true;
    QList<int> goneIds;
    QStringList present;
    QList<int> presentIds;
    QStringList gone;
    try {
        TQuery *q = dbhouse().qgqmx;
        if (!q->isActive())
            refresh();
        for (q->first(); !q->eof(); q->next()) {
            const int iid = q->field(QStringLiteral("iid")).toInt();
            const QString path = q->fieldText(QStringLiteral("wjpath"));
            if (QFileInfo(path).isFile()) {
                present.append(path);
                presentIds.append(iid);
            } else {
                gone.append(path);
                goneIds.append(iid);
            }
        }
        q->first();
        TQuery *up = dbhouse().qup;
        for (int iid : goneIds) {
            up->close();
            up->setSql(Sql::updateScratchSongDuration);
            up->setParam(QStringLiteral("zsc"), QTime(0, 0));
            up->setParam(QStringLiteral("iid"), iid);
            up->execSql();
        }
        if (!goneIds.isEmpty())
            refresh();
    } catch (const DbError &e) {
        tell(this, e.text());
        return;
    }
    showCount();
    if (!gone.isEmpty())
        tell(this, QStringLiteral("以下歌曲文件已找不到，时长记为 00:00:00：\n%1\n请删除或重新添加这些歌曲！")
                       .arg(gone.join(QLatin1Char('\n'))));
    if (present.isEmpty())
        return;

    cancel_.store(false);
    setBusy(true, QStringLiteral("正在读取歌曲时长"));
    const QList<int> lengths = measure(present);
    setBusy(false, QString());
    try {
        TQuery *up = dbhouse().qup;
        for (qsizetype i = 0; i < lengths.size(); ++i) {
            up->close();
            up->setSql(Sql::updateScratchSongDuration);
            up->setParam(QStringLiteral("zsc"), timeOfDay(std::max(lengths[i], 0)));
            up->setParam(QStringLiteral("iid"), presentIds[i]);
            up->execSql();
        }
        refresh();
    } catch (const DbError &e) {
        tell(this, e.text());
    }
    showCount();
    const auto unreadable = std::count_if(lengths.begin(), lengths.end(), [](int s) { return s < 0; });
    if (lengths.isEmpty())
        sb1Note->setText(QStringLiteral("已取消读取时长"));
    else if (unreadable > 0)
        sb1Note->setText(QStringLiteral("%1 首歌曲无法读取时长").arg(unreadable));
    if (closeWhenIdle_)
        close();
}

void TFormxzgqlb::BitBtn1Click()
{
    const QStringList files = hooks_.chooseFiles ? hooks_.chooseFiles(this, openFilter())
                                                 : QFileDialog::getOpenFileNames(this, QStringLiteral("添加歌曲"),
                                                                                 songFolder(), openFilter());
    if (files.isEmpty())
        return;
    lastSongFolder() = QFileInfo(files.last()).absolutePath();
    addSongs(files);
}

void TFormxzgqlb::addSongs(const QStringList &files)
{
    if (busy_ || files.isEmpty())
        return;
    cancel_.store(false);
    setBusy(true, QStringLiteral("正在读取歌曲时长"));
    const QList<int> lengths = measure(files);
    setBusy(false, QString());
    if (lengths.isEmpty()) {
        sb1Note->setText(QStringLiteral("已取消添加歌曲"));
        qCInfo(lcSongLists) << "adding songs cancelled";
        if (closeWhenIdle_)
            close();
        return;
    }
    int skipped = 0;
    // One transaction for the batch: a few hundred songs go in at once instead of one
    // disk sync each. A row that fails is skipped; the others are kept.
    TQuery *in = dbhouse().qin;
    try {
        dbhouse().inTransaction([&] {
            for (qsizetype i = 0; i < files.size(); ++i) {
                if (lengths.value(i, -1) < 0) {
                    qCInfo(lcSongLists).noquote() << QStringLiteral("skipped, length unreadable: %1").arg(files[i]);
                    ++skipped;
                    continue;
                }
                try {
                    in->close();
                    in->setSql(Sql::insertScratchSong);
                    in->setParam(QStringLiteral("wjpath"), files[i]);
                    in->setParam(QStringLiteral("wjmc"), QFileInfo(files[i]).fileName());
                    in->setParam(QStringLiteral("zsc"), timeOfDay(lengths[i]));
                    in->execSql();
                } catch (const DbError &e) {
                    qCWarning(lcSongLists).noquote() << QStringLiteral("skipped %1: %2").arg(files[i], e.text());
                    ++skipped;
                }
            }
        });
    } catch (const DbError &e) {
        skipped = static_cast<int>(files.size()); // rolled back: none was added
        tell(this, e.text());
    }
    try {
        refresh();
    } catch (const DbError &e) {
        tell(this, e.text());
    }
    showCount();
    sb1Note->setText(skipped > 0 ? QStringLiteral("%1 首歌曲无法读取，已跳过").arg(skipped) : QString());
    if (closeWhenIdle_)
        close();
}

void TFormxzgqlb::BitBtn2Click()
{
    if (!MessageBox::askYesNo(this, QStringLiteral("询问"), QStringLiteral("您确定要清除全部吗？")))
        return;
    try {
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteScratch);
        up->execSql();
        refresh();
    } catch (const DbError &e) {
        tell(this, e.text());
    }
    sb1Panel2->clear();
    sb1Note->clear();
}

void TFormxzgqlb::BitBtn3Click()
{
    if (!MessageBox::askYesNo(this, QStringLiteral("询问"), QStringLiteral("您确定要删除选择的一条记录吗？")))
        return;
    try {
        TQuery *q = dbhouse().qgqmx;
        const int iid = q->isActive() && !q->eof() ? q->field(QStringLiteral("iid")).toInt() : 0;
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteScratchSong);
        up->setParam(QStringLiteral("iid"), iid);
        up->execSql();
        refresh();
    } catch (const DbError &e) {
        tell(this, e.text());
    }
    showCount();
}
