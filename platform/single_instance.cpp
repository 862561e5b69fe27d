#include "platform/single_instance.h"

#include "core/program_folder.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace {

QString runtimeFolder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

// Different program folders (portable installs, parallel tests) never see each other.
QString instanceKey()
{
    const QByteArray folder = QDir(programFolder()).absolutePath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("chimecast-") + QString::fromLatin1(hash);
}

const QByteArray showRequest = "show\n";

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{}

SingleInstance::~SingleInstance()
{
    if (server_)
        server_->close();
}

QString SingleInstance::lockPath()
{
    return programFolder() + QStringLiteral("/.chimecast.lock");
}

QString SingleInstance::fallbackLockPath()
{
    return runtimeFolder() + QLatin1Char('/') + instanceKey() + QStringLiteral(".lock");
}

QString SingleInstance::serverName()
{
    return runtimeFolder() + QLatin1Char('/') + instanceKey() + QStringLiteral(".sock");
}

bool SingleInstance::acquire()
{
    // The lock lives in the program folder, so two starts on one folder exclude each
    // other whatever runtime folder their environments name. Only when that folder cannot
    // take a file (read-only, not creatable) does the runtime folder hold the lock.
    QDir().mkpath(programFolder());
    lock_ = std::make_unique<QLockFile>(lockPath());
    // A lock left by a crashed process is recognised by its dead process id.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) {
            lock_.reset();
            return false;
        }
        lock_ = std::make_unique<QLockFile>(fallbackLockPath());
        lock_->setStaleLockTime(0);
        if (!lock_->tryLock(0)) {
            lock_.reset();
            return false;
        }
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(serverName());
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    server_->listen(serverName());
    return true;
}

void SingleInstance::onConnection()
{
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(showRequest))
                Q_EMIT showRequested();
        });
    }
}

bool SingleInstance::askRunningToShow(int timeoutMs)
{
    // The running instance may still be starting and not listen yet: retry until the deadline.
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(serverName());
        if (socket.waitForConnected(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
            socket.write(showRequest);
            const bool sent = socket.waitForBytesWritten(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(50);
    }
    return false;
}
