#pragma once
// A private PostgreSQL server for tests: initdb and pg_ctl in a temporary folder, listening
// on 127.0.0.1 on a port the kernel picked, password authentication (the password given
// through a 0600 file, as a player reads it). Run as the unprivileged user
// chimecast-pgtest when the tests run as root (the server refuses root). Never touches the
// system's cluster. Stopped with "pg_ctl stop -m immediate" in the destructor.

#include "db/shared_server.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

class PrivatePg
{
public:
    PrivatePg() = default;
    ~PrivatePg();
    PrivatePg(const PrivatePg &) = delete;
    PrivatePg &operator=(const PrivatePg &) = delete;

    // Makes the cluster and starts it; false with the reason (PostgreSQL not installed, the
    // test user missing, initdb failing) otherwise.
    bool start(QString *why);
    bool stop();
    bool restart(QString *why);
    bool running() const { return running_; }

    // A fresh database on the server; the returned configuration reaches it.
    ServerConfig newDatabase(const QString &name, QString *why);
    ServerConfig config(const QString &database) const;
    QString passwordFile() const;
    int port() const { return port_; }

private:
    bool run(const QString &program, const QStringList &args, QString *why, int timeoutMs = 60000);
    QString tool(const QString &name) const;

    std::unique_ptr<QTemporaryDir> dir_;
    QString bin_;
    QString runAs_;
    int port_ = 0;
    bool running_ = false;
};

// Skips the test with the reason when no private server could be started.
#define CHIMECAST_REQUIRE_PG(server)                                                                                   \
    do {                                                                                                               \
        QString why_;                                                                                                  \
        if (!(server).running() && !(server).start(&why_))                                                             \
            GTEST_SKIP() << "PostgreSQL test server not available: " << qPrintable(why_);                              \
    } while (false)
