#include "recorder/record_file_dialog.h"

#include "core/program_folder.h"
#include "recorder/record_option.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

namespace {

void appendFolder(QStringList &places, const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (!clean.isEmpty() && QFileInfo(clean).isDir() && !places.contains(clean))
        places.append(clean);
}

} // namespace

QStringList TFormlyts::recordingPlaces()
{
    QStringList places;
    appendFolder(places, TRecordOption::defaultFolder());
    appendFolder(places, QDir::homePath());
    const QString recordings = programPath(QStringLiteral("recordings"));
    QDir().mkpath(recordings);
    appendFolder(places, recordings);
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty()) {
        for (const QString &root : {QStringLiteral("/media/") + user, QStringLiteral("/run/media/") + user}) {
            const QDir dir(root);
            for (const QString &medium : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
                appendFolder(places, dir.filePath(medium));
        }
    }
    return places;
}

TFormlyts::TFormlyts(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Formlyts"));
    setWindowTitle(QStringLiteral("录音保存文件提示"));
    setSizeGripEnabled(false);

    auto *placeLabel = new QLabel(QStringLiteral("选择保存盘符"), this);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(false);
    ComboBox1->addItems(recordingPlaces());
    placeLabel->setBuddy(ComboBox1);

    auto *nameLabel = new QLabel(QStringLiteral("要保存的文件名称"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    nameLabel->setBuddy(Edit1);
    auto *hint = new QLabel(QStringLiteral("(格式如:music1.wav)"), this);
    hint->setStyleSheet(QStringLiteral("color: blue; font-weight: bold;"));

    okButton = new QPushButton(QStringLiteral("确定"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout(this);
    grid->addWidget(placeLabel, 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    grid->addWidget(nameLabel, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(hint, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    grid->addLayout(buttons, 3, 0, 1, 2);
    setMinimumWidth(420);
}

void TFormlyts::showEvent(QShowEvent *event)
{
    if (ComboBox1->count() > 0)
        ComboBox1->setCurrentIndex(0);
    Edit1->setText(QStringLiteral("music1.wav"));
    QDialog::showEvent(event);
}
