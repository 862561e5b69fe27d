#include "editors/help_folder.h"

#include "core/message_box.h"
#include "core/program_folder.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString resourceFolder = QStringLiteral(":/chimecast/help");

QLabel *makeHint(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setWordWrap(true);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::red);
    l->setPalette(p);
    return l;
}

bool desktopOpen(const QUrl &url)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace

QString helpFolderPath()
{
    return programPath(QStringLiteral("操作说明"));
}

QString helpPagePath()
{
    return helpFolderPath() + QStringLiteral("/index.html");
}

bool ensureHelpFolder(QString *error)
{
    const QString folder = helpFolderPath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    const QStringList files = QDir(resourceFolder).entryList(QDir::Files, QDir::Name);
    for (const QString &name : files) {
        const QString target = folder + QLatin1Char('/') + name;
        if (QFileInfo::exists(target))
            continue;
        QFile source(resourceFolder + QLatin1Char('/') + name);
        if (!source.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(source.fileName(), source.errorString());
            return false;
        }
        if (!writeFileAtomically(target, source.readAll(), error))
            return false;
    }
    return true;
}

HelpTab::HelpTab(QWidget *parent)
    : QWidget(parent),
      openFolder_(desktopOpen)
{
    setObjectName(QStringLiteral("HelpTab"));
    trayHideHint = makeHint(this, "trayHideHint", QStringLiteral("在电脑右下角找到小喇叭图标鼠标右键可以隐藏主界面！"));
    trayToggleHint =
        makeHint(this, "trayToggleHint",
                 QStringLiteral("在电脑右下角有一个喇叭一样的图标，先用鼠标点中它，然后右键可以显示或隐藏软件"
                                "主界面！"));
    BitBtn37 = new QPushButton(QStringLiteral("打开帮助文件"), this);
    BitBtn37->setObjectName(QStringLiteral("BitBtn37"));
    helpLocation = new QLabel(QStringLiteral("帮助文件在：%1").arg(QDir::toNativeSeparators(helpPagePath())), this);
    helpLocation->setObjectName(QStringLiteral("helpLocation"));
    helpLocation->setTextInteractionFlags(Qt::TextSelectableByMouse);
    aboutButton = new QPushButton(QStringLiteral("关于"), this);
    aboutButton->setObjectName(QStringLiteral("aboutButton"));
    helpButton = new QPushButton(QStringLiteral("帮助说明"), this);
    helpButton->setObjectName(QStringLiteral("helpButton"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(trayHideHint);
    layout->addWidget(trayToggleHint);
    layout->addSpacing(16);
    layout->addWidget(BitBtn37, 0, Qt::AlignLeft);
    layout->addWidget(helpLocation);
    auto *windows = new QHBoxLayout;
    windows->addWidget(aboutButton);
    windows->addWidget(helpButton);
    windows->addStretch();
    layout->addLayout(windows);
    layout->addStretch();

    connect(BitBtn37, &QPushButton::clicked, this, [this] { BitBtn37Click(); });
    connect(aboutButton, &QPushButton::clicked, this, &HelpTab::aboutRequested);
    connect(helpButton, &QPushButton::clicked, this, &HelpTab::helpRequested);
}

void HelpTab::setFolderOpener(std::function<bool(const QUrl &)> opener)
{
    openFolder_ = std::move(opener);
}

void HelpTab::BitBtn37Click()
{
    // A folder deleted since the start is put back before it is opened.
    QString error;
    if (!ensureHelpFolder(&error)) {
        qWarning().noquote() << QStringLiteral("chimecast: help folder:") << error;
        MessageBox::information(this, QStringLiteral("帮助文件夹无法建立：%1！").arg(error));
        return;
    }
    const QString folder = helpFolderPath();
    if (openFolder_ && openFolder_(QUrl::fromLocalFile(folder))) {
        qInfo().noquote() << QStringLiteral("chimecast: help folder opened:") << folder;
        return;
    }
    const QString text =
        QStringLiteral("没有可以打开帮助文件夹的程序，帮助文件在：%1！").arg(QDir::toNativeSeparators(helpPagePath()));
    qInfo().noquote() << QStringLiteral("chimecast:") << text;
    MessageBox::information(this, text);
}
