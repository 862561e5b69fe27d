#pragma once
// One running program per user (per program folder when CHIMECAST_HOME is set). A lock
// file in the runtime folder, held for the life of the process, decides who runs; a local
// socket next to it carries the "show yourself" request of a second start.

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

    // Path of the lock file and of the socket for this user and program folder.
    static QString lockPath();
    static QString serverName();

Q_SIGNALS:
    // Another start asked this instance to show its window.
    void showRequested();

private:
    void onConnection();

    std::unique_ptr<QLockFile> lock_;
    QLocalServer *server_ = nullptr;
};
