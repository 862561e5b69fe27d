#pragma once
// The help folder "操作说明" in the program folder: a user guide in Chinese (index.html and
// the pictures it shows), put there from the program's resources at start, and the help
// tab's button "打开帮助文件" that opens the folder on the desktop.

#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

// The folder "操作说明" inside the program folder.
QString helpFolderPath();
// The guide's page inside it.
QString helpPagePath();
// Creates the folder when missing and puts in every file of the guide that is missing
// (files already there, perhaps edited by the user, are kept). False with *error when the
// folder or a file cannot be written.
bool ensureHelpFolder(QString *error);

class HelpTab : public QWidget
{
    Q_OBJECT
public:
    explicit HelpTab(QWidget *parent = nullptr);

    // Opens a folder on the desktop; true when a program took it. Default:
    // QDesktopServices::openUrl, and false on a platform with no desktop (offscreen).
    void setFolderOpener(std::function<bool(const QUrl &)> opener);

    QLabel *trayHideHint;     // hint: the loudspeaker icon hides the window
    QLabel *trayToggleHint;   // hint: how to show or hide the window from the icon
    QPushButton *BitBtn37;    // "打开帮助文件"
    QLabel *helpLocation;     // where the guide is, for a box without a desktop
    QPushButton *aboutButton; // "关于": the about window
    QPushButton *helpButton;  // "帮助说明": the compact player's help window

    void BitBtn37Click();

Q_SIGNALS:
    void aboutRequested();
    void helpRequested();

public:
private:
    std::function<bool(const QUrl &)> openFolder_;
};
