#include "windows/add_folder_dialog.h"

#include "core/logging.h"
#include "player/media_kinds.h"
#include "player/play_list.h"
#include "windows/message_window.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

constexpr int kClientWidth = 392;
constexpr int kClientHeight = 200;

bool isRemovableMount(const QString &root)
{
    for (const char *prefix : {"/media/", "/run/media/", "/mnt/"}) {
        if (root.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

} // namespace

QStringList writablePlaces()
{
    QStringList places;
    auto add = [&places](const QString &path) {
        const QString clean = QDir::cleanPath(path);
        const QFileInfo info(clean);
        if (!path.isEmpty() && info.isDir() && info.isWritable() && !places.contains(clean))
            places.append(clean);
    };
    add(QDir::homePath());
    add(QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !volume.isReadOnly() && isRemovableMount(volume.rootPath()))
            add(volume.rootPath());
    }
    return places;
}

FolderFiles playableFilesIn(const QString &folder)
{
    FolderFiles found;
    const QFileInfo info(folder);
    found.exists = info.isDir();
    found.readable = found.exists && info.isReadable() && info.isExecutable();
    if (!found.readable)
        return found;
    const QDir dir(folder);
    // The order of the file list: by name, without regard to case; hidden files are not shown.
    const QStringList names = dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    found.fileCount = int(names.size());
    for (int i = 0; i < names.size(); ++i) {
        if (engineForPath(names.at(i)) == PlayEngine::None)
            continue;
        found.playable.append(dir.filePath(names.at(i)));
        found.lastPlayablePosition = i;
    }
    return found;
}

TForm9::TForm9(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("打开目录"));
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);

    auto *placeLabel = new QLabel(QStringLiteral("位置："), this);
    placeLabel->setObjectName(QStringLiteral("placeLabel"));
    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    placeLabel->setBuddy(DriveComboBox1);
    DriveComboBox1->setAccessibleName(QStringLiteral("位置"));

    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setReadOnly(true);
    DirectoryListBox1 = new QTreeView(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setAccessibleName(QStringLiteral("目录"));
    DirectoryListBox1->setModel(folders_);
    DirectoryListBox1->setHeaderHidden(true);
    for (int column = 1; column < folders_->columnCount(); ++column)
        DirectoryListBox1->hideColumn(column);

    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setStyleSheet(QStringLiteral("color: blue;"));
    BitBtn1->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    auto *top = new QHBoxLayout;
    top->addWidget(placeLabel);
    top->addWidget(DriveComboBox1, 1);
    top->addWidget(BitBtn1);
    layout->addLayout(top);
    layout->addWidget(DirectoryListBox1, 1);

    showMessage_ = [this](const QString &text) {
        if (Form5)
            Form5->showMessage(text, this);
    };
    connect(DriveComboBox1, &QComboBox::currentIndexChanged, this, &TForm9::DriveComboBox1Change);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    chosen_ = folders_->filePath(current);
            });
    connect(BitBtn1, &QPushButton::clicked, this, &TForm9::BitBtn1Click);
    fillPlaces();
}

void TForm9::fillPlaces()
{
    const QSignalBlocker blocker(DriveComboBox1);
    const QString keep = DriveComboBox1->currentText();
    DriveComboBox1->clear();
    DriveComboBox1->addItems(writablePlaces());
    const int index = DriveComboBox1->findText(keep);
    DriveComboBox1->setCurrentIndex(index >= 0 ? index : 0);
    DriveComboBox1Change();
}

void TForm9::DriveComboBox1Change()
{
    const QString place = DriveComboBox1->currentText();
    if (place.isEmpty())
        return;
    // A new place: its root is the chosen folder until a folder in it is chosen.
    DirectoryListBox1->selectionModel()->clear();
    const QModelIndex root = folders_->setRootPath(place);
    DirectoryListBox1->setRootIndex(root);
    chosen_ = place;
}

QString TForm9::chosenFolder() const
{
    return chosen_;
}

void TForm9::chooseFolder(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        const QString place = DriveComboBox1->itemText(i);
        if (clean == place || clean.startsWith(place + QLatin1Char('/'))) {
            DriveComboBox1->setCurrentIndex(i);
            break;
        }
    }
    const QModelIndex index = folders_->index(clean);
    if (index.isValid())
        DirectoryListBox1->setCurrentIndex(index);
    chosen_ = clean;
}

void TForm9::message(const QString &text)
{
    if (showMessage_)
        showMessage_(text);
}

void TForm9::BitBtn1Click()
{
    const QString folder = chosenFolder();
    const FolderFiles found = playableFilesIn(folder);
    if (!found.exists) {
        qCWarning(lcWindows).noquote() << QStringLiteral("add folder: %1 is no longer there").arg(folder);
        message(QStringLiteral("所选目录已不存在！"));
        return;
    }
    if (!found.readable) {
        qCWarning(lcWindows).noquote() << QStringLiteral("add folder: %1 cannot be read").arg(folder);
        message(QStringLiteral("所选目录无法读取！"));
        return;
    }
    if (found.fileCount == 0) {
        message(QStringLiteral("没有播放文件存在！　　"));
        return;
    }
    if (list_) {
        if (!found.playable.isEmpty()) {
            list_->append(found.playable);
            // The selection ends at the position in the folder of the last file added.
            list_->setItemIndex(found.lastPlayablePosition);
        } else if (!list_->save()) {
            qCWarning(lcWindows).noquote()
                << QStringLiteral("add folder: the play-list file was not written: %1").arg(list_->lastError());
        }
        qCInfo(lcWindows).noquote() << QStringLiteral("add folder: %1 of %2 files of %3 appended to the play list")
                                           .arg(found.playable.size())
                                           .arg(found.fileCount)
                                           .arg(folder);
    }
    accept();
}

void TForm9::N16Click()
{
    // The places are looked up again (media may have come or gone); the folder chosen
    // last time stays chosen while it is still there.
    const QString previous = chosen_;
    fillPlaces();
    if (!previous.isEmpty() && QFileInfo(previous).isDir())
        chooseFolder(previous);
    // Placed before it is shown, so the dialog's own centring leaves the place alone.
    if (anchor_)
        move(anchor_->frameGeometry().topLeft());
    exec();
}

void TForm9::showEvent(QShowEvent *event)
{
    if (anchor_)
        move(anchor_->frameGeometry().topLeft());
    QDialog::showEvent(event);
}
