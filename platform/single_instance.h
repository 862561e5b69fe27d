#pragma once
// One running program per program folder. A lock file in the program folder, held for the
// life of the process, decides who runs (in the runtime folder when the program folder
// cannot take it); a local socket in the runtime folder carries the "show yourself"
// request of a second start.

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the running instance (and listens for requests);
    // false when another process holds the lock.
    bool acquire();
    // Asks the running instance to show its window; gives up after timeoutMs.
    bool askRunningToShow(int timeoutMs);

    // Path of the lock file, of the lock used when the program folder is read-only, and of
    // the socket for this user and program folder.
    static QString lockPath();
    static QString fallbackLockPath();
    static QString serverName();

Q_SIGNALS:
    // Another start asked this instance to show its window.
    void showRequested();

private:
    void onConnection();

    std::unique_ptr<QLockFile> lock_;
    QLocalServer *server_ = nullptr;
};
