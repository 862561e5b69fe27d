#include "editors/programme_editor.h"

#include "core/message_box.h"
#include "core/program_folder.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "editors/broadcast_address_query.h"
#include "editors/song_list_chooser.h"
#include "player/folder_scan.h"

#include <QComboBox>
#include <QShowEvent>
#include <QDebug>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

void tell(QWidget *parent, const QString &text)
{
    qWarning().noquote() << QStringLiteral("chimecast: programme editor: %1").arg(text);
    MessageBox::information(parent, text);
}

QLabel *label(const char *name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

QPushButton *button(const char *name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QLabel *hint(const QString &text, const char *colour, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(colour)));
    l->setWordWrap(true);
    return l;
}

} // namespace

bool isSongListPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && dot > slash && path.mid(dot).toUpper().contains(QLatin1String("QK"));
}

const QStringList &TFormbjjm::playModes()
{
    static const QStringList modes = {QStringLiteral("随机播放"), QStringLiteral("顺序播放"),
                                      QStringLiteral("顺序循环")};
    return modes;
}

QString TFormbjjm::fileFilter()
{
    return QStringLiteral("(*.*) (*);;*.wav（声音文件） (*.wav);;*.mid (*.mid);;*.mp3（mp3文件） (*.mp3);;"
                          "*.wma（wma文件） (*.wma);;*.qk(歌曲列表文件) (*.qk)");
}

TFormbjjm::TFormbjjm(QWidget *parent, ProgrammeEditorHooks hooks)
    : QDialog(parent),
      hooks_(std::move(hooks)),
      measurement_(new FolderMeasurement(this))
{
    setObjectName(QStringLiteral("Formbjjm"));
    setWindowTitle(QStringLiteral("节目编辑"));

    Label1 = label("Label1", QStringLiteral("节目名称"), this);
    Label2 = label("Label2", QStringLiteral("开始时间"), this);
    Label3 = label("Label3", QStringLiteral("结束时间"), this);
    Label4 = label("Label4", QStringLiteral("单首歌曲或歌曲列表或文件夹"), this);
    Label5 = label("Label5", QStringLiteral("节目时长"), this);
    Label6 = label("Label6", QStringLiteral("音量"), this);
    Label7 = label("Label7", QStringLiteral("播放方式"), this);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    auto timeEdit = [this](const char *name) {
        auto *t = new QTimeEdit(this);
        t->setObjectName(QLatin1String(name));
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        t->setTime(QTime(0, 0));
        return t;
    };
    dtp1 = timeEdit("dtp1");
    dtp2 = timeEdit("dtp2");
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    edit3 = new QLineEdit(this);
    edit3->setObjectName(QStringLiteral("edit3"));
    edit3->setReadOnly(true);
    Edit4 = new QLineEdit(this);
    Edit4->setObjectName(QStringLiteral("Edit4"));
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems(playModes());
    ComboBox1->setCurrentIndex(-1);
    Label1->setBuddy(Edit1);
    Label2->setBuddy(dtp1);
    Label3->setBuddy(dtp2);
    Label4->setBuddy(Edit2);
    Label5->setBuddy(edit3);
    Label6->setBuddy(Edit4);
    Label7->setBuddy(ComboBox1);
    // Screen readers take a field's name from its label.
    Edit1->setAccessibleName(Label1->text());
    dtp1->setAccessibleName(Label2->text());
    dtp2->setAccessibleName(Label3->text());
    Edit2->setAccessibleName(Label4->text());
    edit3->setAccessibleName(Label5->text());
    Edit4->setAccessibleName(Label6->text());
    ComboBox1->setAccessibleName(Label7->text());

    BitBtn1 = button("BitBtn1", QStringLiteral("选择歌曲"), this);
    BitBtn7 = button("BitBtn7", QStringLiteral("选择歌曲列表"), this);
    BitBtn2 = button("BitBtn2", QStringLiteral("选择文件夹"), this);
    BitBtn5 = button("BitBtn5", QStringLiteral("选择广播网址"), this);
    BitBtn3 = button("BitBtn3", QStringLiteral("保存"), this);
    BitBtn4 = button("BitBtn4", QStringLiteral("返回"), this);
    BitBtn6 = button("BitBtn6", QStringLiteral("重填"), this);
    BitBtn6->hide();
    btnCancelMeasure = button("btnCancelMeasure", QStringLiteral("取消"), this);
    btnCancelMeasure->setAccessibleName(QStringLiteral("取消测量时长"));
    btnCancelMeasure->hide();

    pg1 = new QProgressBar(this);
    pg1->setObjectName(QStringLiteral("pg1"));
    pg1->setAccessibleName(QStringLiteral("文件夹时长测量进度"));
    pg1->setRange(0, 1);
    pg1->setValue(0);
    pg1->setTextVisible(false);
    Edit5 = new QLineEdit(this);
    Edit5->setObjectName(QStringLiteral("Edit5"));
    Edit5->hide();
    lbfiles2 = new QListWidget(this);
    lbfiles2->setObjectName(QStringLiteral("lbfiles2"));
    lbfiles2->hide();

    auto *grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 2);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(dtp1, 1, 1);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(dtp2, 2, 1);
    grid->addWidget(Label4, 3, 0);
    grid->addWidget(Edit2, 3, 1, 1, 2);
    auto *choose = new QHBoxLayout;
    choose->addWidget(BitBtn1);
    choose->addWidget(BitBtn7);
    choose->addWidget(BitBtn2);
    choose->addWidget(BitBtn5);
    grid->addLayout(choose, 4, 1, 1, 2);
    grid->addWidget(
        hint(QStringLiteral("提示：点击选择文件夹按钮后，在弹出的对话框里，双击左边列表框可以选择歌曲所在目录！"),
             "blue", this),
        5, 1, 1, 2);
    grid->addWidget(Label5, 6, 0);
    grid->addWidget(edit3, 6, 1);
    auto *progress = new QHBoxLayout;
    progress->addWidget(pg1);
    progress->addWidget(btnCancelMeasure);
    grid->addLayout(progress, 6, 2);
    grid->addWidget(Label6, 7, 0);
    grid->addWidget(Edit4, 7, 1);
    grid->addWidget(Label7, 8, 0);
    grid->addWidget(ComboBox1, 8, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn3);
    buttons->addWidget(BitBtn4);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(hint(QStringLiteral("提示：编辑节目时请您确认您的电脑声卡工作正常！"), "red", this));
    layout->addWidget(hint(
        QStringLiteral("选择文件夹播放时，确保文件夹里的音乐文件名称不要有繁体字，否则不能正常播放！"), "red", this));
    layout->addLayout(buttons);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn7, &QPushButton::clicked, this, [this] { BitBtn7Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { BitBtn5Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
    connect(BitBtn6, &QPushButton::clicked, this, [this] { BitBtn6Click(); });
    connect(btnCancelMeasure, &QPushButton::clicked, measurement_, &FolderMeasurement::cancel);
    connect(measurement_, &FolderMeasurement::progress, this, [this](int done, int total) {
        pg1->setMaximum(qMax(total, 1));
        pg1->setValue(done);
    });
}

TFormbjjm::~TFormbjjm() = default;

void TFormbjjm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormbjjm::FormShow()
{
    if (programmeAddMode) {
        folderChosen = false;
        return;
    }
    TQuery *q = dbhouse().qsjcx;
    folderChosen = q->isActive() && !q->eof() && q->fieldText(QStringLiteral("wjbz")).trimmed() == QLatin1String("3");
}

void TFormbjjm::BitBtn6Click()
{
    Edit1->clear();
    Edit2->clear();
    edit3->clear();
    Edit4->clear();
    dtp1->setTime(QTime(0, 0));
    dtp2->setTime(QTime(0, 0));
    ComboBox1->setCurrentIndex(-1);
}

void TFormbjjm::BitBtn1Click()
{
    const QString path = hooks_.chooseFile ? hooks_.chooseFile(this, fileFilter())
                                           : QFileDialog::getOpenFileName(this, QStringLiteral("选择歌曲"),
                                                                          programFolder(), fileFilter());
    folderChosen = false;
    if (path.isEmpty())
        return;
    Edit2->setText(path);
    if (isSongListPath(path)) {
        songListDuration(path);
        return;
    }
    QString why;
    const int secs = mediaLengthSecs(path, &why);
    if (secs < 0) {
        qWarning().noquote() << QStringLiteral("chimecast: programme editor: %1").arg(why);
        MessageBox::information(this, QStringLiteral("无法读取该文件的时长，请确认它是能播放的声音文件！"));
        return;
    }
    edit3->setText(fileDurationText(secs));
}

void TFormbjjm::BitBtn7Click()
{
    const QString name = hooks_.chooseSongList ? hooks_.chooseSongList(this) : chooseSongList(this);
    if (name.isEmpty())
        return;
    folderChosen = false;
    Edit2->setText(name);
    songListDuration(name);
}

void TFormbjjm::songListDuration(const QString &name)
{
    try {
        TQuery *q = dbhouse().qcx;
        q->close();
        q->setSql(Sql::selectSavedList);
        q->setParam(QStringLiteral("lbmc"), name);
        q->open();
        if (q->recordCount() > 0) {
            const QTime total = timeFromDb(q->field(QStringLiteral("zsc")));
            edit3->setText(total.isValid() ? fileDurationText(QTime(0, 0).secsTo(total)) : QString());
        } else {
            edit3->clear();
        }
        q->close();
    } catch (const DbError &e) {
        edit3->clear();
        tell(this, e.text());
    }
}

void TFormbjjm::BitBtn2Click()
{
    const QString folder = hooks_.chooseFolder
                               ? hooks_.chooseFolder(this, programFolder())
                               : QFileDialog::getExistingDirectory(this, QStringLiteral("选择文件夹"), programFolder(),
                                                                   QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        folderChosen = false;
        return;
    }
    folderChosen = true;
    Edit2->setText(folder);
    measureFolder(folder);
}

void TFormbjjm::measureFolder(const QString &folder)
{
    lbfiles2->clear();
    const QStringList files = ScanFolderMedia(folder);
    lbfiles2->addItems(files);
    pg1->setRange(0, qMax(1, static_cast<int>(files.size())));
    pg1->setValue(0);
    qint64 total = 0;
    bool cancelled = false;
    QEventLoop wait;
    const auto done =
        connect(measurement_, &FolderMeasurement::finished, &wait, [&](qint64 secs, int failed, bool wasCancelled) {
            total = secs;
            cancelled = wasCancelled;
            if (failed > 0)
                qInfo().noquote() << QStringLiteral("chimecast: programme editor: %1 of %2 files "
                                                    "in %3 could not be measured")
                                         .arg(failed)
                                         .arg(files.size())
                                         .arg(folder);
            wait.quit();
        });
    setMeasuring(true);
    measurement_->start(files);
    wait.exec();
    disconnect(done);
    setMeasuring(false);
    pg1->setValue(0);
    if (cancelled) {
        edit3->clear();
        qInfo().noquote() << QStringLiteral("chimecast: programme editor: measuring %1 cancelled").arg(folder);
        return;
    }
    edit3->setText(folderDurationText(total));
}

bool TFormbjjm::measuring() const
{
    return measuring_;
}

void TFormbjjm::setMeasuring(bool on)
{
    measuring_ = on;
    btnCancelMeasure->setVisible(on);
    for (QWidget *w :
         {static_cast<QWidget *>(BitBtn1), static_cast<QWidget *>(BitBtn7), static_cast<QWidget *>(BitBtn2),
          static_cast<QWidget *>(BitBtn5), static_cast<QWidget *>(BitBtn3), static_cast<QWidget *>(BitBtn4)})
        w->setEnabled(!on);
}

void TFormbjjm::BitBtn5Click()
{
    TQuery *q = dbhouse().qgbcx;
    try {
        q->close();
        q->setSql(Sql::selectBroadcasts);
        q->open();
    } catch (const DbError &e) {
        tell(this, e.text());
        return;
    }
    {
        TFormgbcx picker(this);
        const int result = hooks_.execDialog ? hooks_.execDialog(picker) : picker.exec();
        if (result == QDialog::Accepted)
            Edit2->setText(picker.chosenAddress());
    }
    q->close();
}
