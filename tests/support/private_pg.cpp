#include "private_pg.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString testUser = QStringLiteral("chimecast-pgtest");
const QString role = QStringLiteral("chimecast");
const QString password = QStringLiteral("bell-Ä7");

} // namespace

PrivatePg::~PrivatePg()
{
    stop();
}

QString PrivatePg::tool(const QString &name) const
{
    return QDir(bin_).filePath(name);
}

bool PrivatePg::run(const QString &program, const QStringList &args, QString *why, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (runAs_.isEmpty()) {
        p.start(program, args);
    } else {
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), runAs_, QStringLiteral("--"), program} + args);
    }
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *why = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

bool PrivatePg::start(QString *why)
{
    if (running_)
        return true;
    if (!dir_) {
        QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
        if (initdb.isEmpty()) {
            const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            for (const QString &v : versions) {
                const QString candidate = QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(v);
                if (QFile::exists(candidate))
                    initdb = candidate;
            }
        }
        if (initdb.isEmpty()) {
            *why = QStringLiteral("initdb not found (install postgresql)");
            return false;
        }
        bin_ = QFileInfo(QFileInfo(initdb).canonicalFilePath()).absolutePath();
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
            *why = QStringLiteral("Qt's PostgreSQL driver is missing (install libqt6sql6-psql)");
            return false;
        }
        if (geteuid() == 0) {
            const passwd *pw = getpwnam(testUser.toLocal8Bit().constData());
            if (!pw) {
                *why = QStringLiteral("user %1 missing (scripts/install-deps.sh creates it)").arg(testUser);
                return false;
            }
            runAs_ = testUser;
            dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/chimecast-pg-XXXXXX"));
            if (!dir_->isValid() || chown(dir_->path().toLocal8Bit().constData(), pw->pw_uid, pw->pw_gid) != 0) {
                *why = QStringLiteral("cannot prepare %1").arg(dir_->path());
                dir_.reset();
                return false;
            }
        } else {
            dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/chimecast-pg-XXXXXX"));
        }
        // The password: one file for initdb (the server's user reads it), one 0600 file
        // for the players.
        const QString serverPw = dir_->filePath(QStringLiteral("initdb-password"));
        QFile f(serverPw);
        if (!f.open(QIODevice::WriteOnly) || f.write(password.toUtf8() + '\n') < 0) {
            *why = QStringLiteral("cannot write %1").arg(serverPw);
            return false;
        }
        f.close();
        ::chmod(serverPw.toLocal8Bit().constData(), 0644);
        QFile client(passwordFile());
        if (!client.open(QIODevice::WriteOnly) || client.write(password.toUtf8() + '\n') < 0) {
            *why = QStringLiteral("cannot write %1").arg(passwordFile());
            return false;
        }
        client.close();
        QFile::setPermissions(passwordFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (!run(tool(QStringLiteral("initdb")),
                 {QStringLiteral("-D"), dir_->filePath(QStringLiteral("data")), QStringLiteral("-U"), role,
                  QStringLiteral("--pwfile=") + serverPw, QStringLiteral("-A"), QStringLiteral("scram-sha-256"),
                  QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
                 why))
            return false;
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            *why = QStringLiteral("no free port");
            return false;
        }
        port_ = probe.serverPort();
        probe.close();
    }
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                                .arg(port_)
                                .arg(dir_->path());
    if (!run(tool(QStringLiteral("pg_ctl")),
             {QStringLiteral("-D"), dir_->filePath(QStringLiteral("data")), QStringLiteral("-l"),
              dir_->filePath(QStringLiteral("server.log")), QStringLiteral("-o"), options, QStringLiteral("-w"),
              QStringLiteral("start")},
             why))
        return false;
    running_ = true;
    return true;
}

bool PrivatePg::stop()
{
    if (!running_)
        return true;
    QString why;
    running_ = false;
    return run(tool(QStringLiteral("pg_ctl")),
               {QStringLiteral("-D"), dir_->filePath(QStringLiteral("data")), QStringLiteral("-m"),
                QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")},
               &why);
}

bool PrivatePg::restart(QString *why)
{
    return start(why);
}

QString PrivatePg::passwordFile() const
{
    return dir_ ? dir_->filePath(QStringLiteral("client-password")) : QString();
}

ServerConfig PrivatePg::config(const QString &database) const
{
    ServerConfig c;
    c.host = QStringLiteral("127.0.0.1");
    c.port = port_;
    c.database = database;
    c.user = role;
    c.passwordFile = passwordFile();
    return c;
}

ServerConfig PrivatePg::newDatabase(const QString &name, QString *why)
{
    const QString connection = QStringLiteral("private-pg-admin");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(port_);
        db.setDatabaseName(QStringLiteral("postgres"));
        db.setUserName(role);
        db.setPassword(password);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("drop database if exists %1").arg(name))
                 && q.exec(QStringLiteral("create database %1").arg(name));
            if (!ok)
                *why = q.lastError().text();
        } else {
            *why = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok ? config(name) : ServerConfig{};
}
