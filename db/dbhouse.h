#pragma once
// The data module: the one connection to dat/qvrDemo.db and the named query objects every
// window issues its statements through (texts in db/sql_catalogue.h). It also holds the
// scheduler's program-wide variables.

#include "db/query.h"

#include <QObject>
#include <QString>
#include <QTime>

#include <memory>

class SharedServer;

class Tdbhouse : public QObject, public QueryRouter
{
    Q_OBJECT
public:
    explicit Tdbhouse(QObject *parent = nullptr);
    ~Tdbhouse() override;

    // Opens the database file; creates it from the schema when it does not exist. A file
    // that exists but cannot be used (unreadable, read-only, corrupt, not a database, a
    // table or column missing) is left exactly as it is and false is returned.
    //
    // The schema carries a version (PRAGMA user_version). An older database is upgraded
    // in one transaction; a newer one is opened read-only and never changed, with the
    // reason in readOnlyReason().
    bool open(const QString &path, QString *error = nullptr);
    // Opens an existing database read-only, without creating or upgrading it (the
    // terminal's --check and --log, which must not touch a running instance's data).
    bool openReadOnly(const QString &path, QString *error = nullptr);
    // Opens dat/qvrDemo.db in the program folder.
    bool openDefault(QString *error = nullptr);
    void close();
    bool isOpen() const;
    QString connectionName() const { return connectionName_; }
    // The local database file last opened.
    QString path() const { return path_; }

    // The shared timetable server, when this player uses one (it then owns it). The editors'
    // query objects (qcx, qin, qup, qls, qsjcx, qjr, qgb, qgbcx, qgqlbhz) run statements on
    // the shared tables (Sql::sharedTables) there while it is reachable. While it is not,
    // they read the local mirror and refuse every change with kCannotSaveText, so nothing
    // is kept back to be sent later. Statements on the local tables, and everything the
    // scheduler's own query objects run, stay local.
    void attachServer(std::unique_ptr<SharedServer> server);
    SharedServer *server() const { return server_.get(); }
    static const QString kCannotSaveText;

    // While one lives, every statement runs on the local file, the mirror included (the
    // resolution and tomorrow's check read the copy, never the server).
    class LocalOnly
    {
    public:
        explicit LocalOnly(Tdbhouse &db)
            : db_(db)
        {
            ++db_.localOnly_;
        }
        ~LocalOnly() { --db_.localOnly_; }
        LocalOnly(const LocalOnly &) = delete;
        LocalOnly &operator=(const LocalOnly &) = delete;

    private:
        Tdbhouse &db_;
    };

    QString connectionFor(const QString &sql) override;
    QString failureText(const QString &connectionName, const QString &error) override;

    // The schema version this program writes; the version of the open database.
    static constexpr int kSchemaVersion = 2;
    int schemaVersion() const { return schemaVersion_; }
    // Why the open database may not be changed; empty when it is writable.
    QString readOnlyReason() const { return readOnlyReason_; }

    // Runs fn inside one transaction: committed when fn returns, rolled back when it throws
    // (the exception is passed on). With a reachable server the server's connection gets a
    // transaction too, committed first, so an import or a weekly save is seen by the other
    // players whole or not at all.
    template <typename Fn> void inTransaction(Fn &&fn);

    // The query objects. Each is used by the handlers noted in sql_catalogue.h.
    TQuery *qlsh;      // unused
    TQuery *qcx;       // general reads: the weekly row, name lists, saved song lists
    TQuery *qgqlbhz;   // names of saved song lists (song-list tab grid)
    TQuery *qgqmx;     // rows of the song list being edited (selection dialog grid)
    TQuery *qin;       // every INSERT
    TQuery *qup;       // DELETE and UPDATE of the editors, clearing today's table
    TQuery *qls;       // auxiliary reads of the editors
    TQuery *qsjcx;     // rows of one timetable (timetable editor grid)
    TQuery *qjr;       // holidays (holiday grid)
    TQuery *qjrjm;     // today's timetable as shown (main grid); read cursor of the resolution
    TQuery *qjy;       // rows of one saved song list when filling the play list
    TQuery *qupjs;     // the end watcher's updates
    TQuery *qjrjmcxls; // the dispatcher's scan of today's timetable
    TQuery *qdc;       // the holiday scan at start-up and resolution
    TQuery *qgjcx;     // count of entries still to play
    TQuery *qpub;      // the resolution's marking of past entries
    TQuery *qgb;       // broadcast sources (settings tab grid)
    TQuery *qgbcx;     // broadcast sources (picker grid)
    TQuery *qsj;       // the end watcher's read of the finished entry
    TQuery *qbfrz;     // the as-run log b_bfrz: its writes and the log window's reads

    // Scheduler state shared program-wide (owned by the dispatcher).
    int runningCount = 0;   // programmes started by the dispatcher and not yet ended
    int currentEntryId = 0; // iid of the running programme in b_sjbjr
    QTime stopTime;         // stop time of the running programme
    QString currentKind;    // wjbz of the running programme
    QString todayWeekday;   // weekday name today's timetable was resolved for

private:
    bool createFromSchema(const QString &path, QString *error);
    bool validate(QString *error);
    bool openConnection(const QString &path, bool readOnly, QString *error);
    int readSchemaVersion();
    bool upgrade(QString *error);
    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();

    bool serverInTransaction() const;

    QString connectionName_;
    QString path_;
    std::unique_ptr<SharedServer> server_;
    int localOnly_ = 0;
    bool serverTransaction_ = false;
    int schemaVersion_ = 0;
    QString readOnlyReason_;
};

template <typename Fn> void Tdbhouse::inTransaction(Fn &&fn)
{
    beginTransaction();
    try {
        fn();
    } catch (...) {
        rollbackTransaction();
        throw;
    }
    commitTransaction();
}

// The program-wide data module (created on first use, not opened).
Tdbhouse &dbhouse();
// The program-wide data module when it has been made, else null (never makes it).
Tdbhouse *dbhouseIfMade();
// Destroys the program-wide data module, closing its connection.
void destroyDbhouse();
