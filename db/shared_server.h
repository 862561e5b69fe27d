#pragma once
// The shared timetable database: a PostgreSQL server that the players of a site use
// together. It holds the shared tables (Sql::sharedTables); each player copies them into its
// local file (the mirror) before every resolution and resolves from there, so a server that
// cannot be reached never stops a bell: the player resolves from the last copy instead.
//
// Everything here runs on the thread that made the object, except probe(), which opens a
// connection of its own and may run on any thread.

#include <QDateTime>
#include <QString>

class Tdbhouse;

struct ServerConfig
{
    QString host;
    int port = 5432;
    QString database;
    QString user;
    // A file holding the password on its first line, readable by its owner only. Empty:
    // libpq's own ~/.pgpass (or no password).
    QString passwordFile;

    // "user@host:port/database".
    QString describe() const;
    // Empty when the values can be used, else why not (a Chinese text for the user).
    QString problem() const;
};

// Reads the first line of a password file. Refuses a file that others than its owner can
// read or write (as libpq does for ~/.pgpass), so the password is never taken from a file
// anyone may look into.
bool readPasswordFile(const QString &path, QString *password, QString *error);

// Seconds libpq waits for a server that does not answer.
inline constexpr int kServerConnectTimeoutSeconds = 3;

class SharedServer
{
public:
    // The server's schema version written by this program; a newer server is never written.
    static constexpr int kSchemaVersion = 1;

    explicit SharedServer(ServerConfig config);
    ~SharedServer();
    SharedServer(const SharedServer &) = delete;
    SharedServer &operator=(const SharedServer &) = delete;

    const ServerConfig &config() const { return config_; }
    QString connectionName() const { return connectionName_; }

    // Connects (at most kServerConnectTimeoutSeconds when the server does not answer) and
    // creates the shared tables on an empty server. False with the reason otherwise; the
    // server then counts as down.
    bool connect(QString *error = nullptr);
    bool isUp() const { return up_; }
    // Closes the connection after a failure; isUp() is false until the next connect().
    void markDown(const QString &why);
    // After a statement failed on the connection: true when the server still answers,
    // else the server is marked down.
    bool stillAlive();
    QString lastError() const { return lastError_; }

    int schemaVersion() const { return schemaVersion_; }
    // Why this player may not change the server's tables; empty when it may.
    QString readOnlyReason() const { return readOnlyReason_; }

    // Copies the shared tables from one snapshot of the server into the local database in
    // one local transaction, then notes the time of the copy next to the local file. False
    // with the reason when something failed; the local tables are then as they were.
    bool copyInto(Tdbhouse &local, const QDateTime &now, QString *error = nullptr);

    // Opens a connection of its own, asks the server one trivial question and closes it.
    // Safe on any thread (the minute retry runs it off the clock's thread).
    static bool probe(const ServerConfig &config, QString *error = nullptr);

private:
    bool ensureSchema(QString *error);

    ServerConfig config_;
    QString connectionName_;
    bool up_ = false;
    int schemaVersion_ = 0;
    QString readOnlyReason_;
    QString lastError_;
};

// The mirror's stamp, a small file next to the local database ("<file>.mirror"): when the
// shared tables were last copied, and from which server.
struct MirrorStamp
{
    QDateTime at; // invalid: no copy was ever made
    QString source;
};
MirrorStamp readMirrorStamp(const QString &localDatabasePath);
bool writeMirrorStamp(const QString &localDatabasePath, const MirrorStamp &stamp, QString *error);
// "12分钟" / "3小时5分钟" / "2天3小时": the age of a copy at now.
QString mirrorAgeText(const QDateTime &at, const QDateTime &now);
