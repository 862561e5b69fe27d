#include "db/dbhouse.h"

#include "core/logging.h"
#include "core/program_folder.h"
#include "db/shared_server.h"
#include "db/sql_catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <QRegularExpression>

#include <memory>

static void initSchemaResource()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

int connectionCounter = 0;

struct TableDef
{
    const char *name;
    std::initializer_list<const char *> columns;
};

const TableDef tables[] = {
    {"b_sjb", {"iid", "sjmc", "jmmc", "kssj", "jssj", "wjpath", "bfsc", "yldx", "bffs", "bfzt", "wjbz", "over", "ixh"}},
    {"b_sjbjr",
     {"iid", "sjmc", "jmmc", "kssj", "jssj", "wjpath", "bfsc", "yldx", "bffs", "bfzt", "wjbz", "over", "ixh"}},
    {"b_gqlbmx", {"iid", "wjpath", "wjmc", "lbmc", "zsc"}},
    {"b_gqlbmxbak", {"iid", "wjpath", "wjmc", "lbmc", "zsc"}},
    {"b_gbb", {"iid", "bt", "strwz"}},
    {"x_jrb", {"iid", "rq"}},
    {"x_sjbsz", {"xq1", "xq2", "xq3", "xq4", "xq5", "xq6", "xq7"}},
};

// The schema's statements: separated by lines holding only ';', comment lines dropped.
QStringList schemaStatements(QString *error)
{
    initSchemaResource();
    QFile f(QStringLiteral(":/chimecast/schema.sql"));
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("schema not found");
        return {};
    }
    QStringList statements;
    QString current;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (t.startsWith(QStringLiteral("--")))
            continue;
        if (t == QStringLiteral(";")) {
            if (!current.trimmed().isEmpty())
                statements.append(current);
            current.clear();
            continue;
        }
        current += line + QLatin1Char('\n');
    }
    if (!current.trimmed().isEmpty())
        statements.append(current);
    return statements;
}

bool looksLikeSqlite(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    const QByteArray head = f.read(16);
    if (head != QByteArray("SQLite format 3\0", 16)) {
        *error = QStringLiteral("%1: not a database").arg(path);
        return false;
    }
    if (!QFileInfo(path).isWritable()) {
        *error = QStringLiteral("%1: not writable").arg(path);
        return false;
    }
    return true;
}

} // namespace

Tdbhouse::Tdbhouse(QObject *parent)
    : QObject(parent),
      connectionName_(QStringLiteral("democnn-%1").arg(++connectionCounter))
{
    setObjectName(QStringLiteral("dbhouse"));
    auto make = [this](const char *name) {
        auto *q = new TQuery(QString::fromLatin1(name), this);
        q->setConnectionName(connectionName_);
        return q;
    };
    qlsh = make("qlsh");
    qcx = make("qcx");
    qgqlbhz = make("qgqlbhz");
    qgqmx = make("qgqmx");
    qin = make("qin");
    qup = make("qup");
    qls = make("qls");
    qsjcx = make("qsjcx");
    qjr = make("qjr");
    qjrjm = make("qjrjm");
    qjy = make("qjy");
    qupjs = make("qupjs");
    qjrjmcxls = make("qjrjmcxls");
    qdc = make("qdc");
    qgjcx = make("qgjcx");
    qpub = make("qpub");
    qgb = make("qgb");
    qgbcx = make("qgbcx");
    qsj = make("qsj");
    qbfrz = make("qbfrz");
    for (TQuery *q : {qcx, qin, qup, qls, qsjcx, qjr, qgb, qgbcx, qgqlbhz})
        q->setRouter(this);
}

const QString Tdbhouse::kCannotSaveText = QStringLiteral("时间表服务器无法连接，修改没有保存！请在服务器恢复后再试。");

namespace {

bool touchesSharedTable(const QString &sql)
{
    static const QRegularExpression shared(
        QStringLiteral("\\b(%1)\\b").arg(Sql::sharedTables.join(QLatin1Char('|'))),
        QRegularExpression::CaseInsensitiveOption);
    return shared.match(sql).hasMatch();
}

bool isRead(const QString &sql)
{
    return sql.trimmed().startsWith(QStringLiteral("select"), Qt::CaseInsensitive);
}

} // namespace

void Tdbhouse::attachServer(std::unique_ptr<SharedServer> server)
{
    for (TQuery *q : findChildren<TQuery *>())
        q->release();
    server_ = std::move(server);
}

QString Tdbhouse::connectionFor(const QString &sql)
{
    if (!server_ || localOnly_ > 0 || !touchesSharedTable(sql))
        return connectionName_;
    const bool read = isRead(sql);
    if (server_->isUp()) {
        if (!read && !server_->readOnlyReason().isEmpty())
            throw DbError(server_->readOnlyReason());
        return server_->connectionName();
    }
    if (read)
        return connectionName_;
    qCWarning(lcDb).noquote() << QStringLiteral("change refused, timetable server not reachable: %1").arg(sql.simplified());
    throw DbError(kCannotSaveText);
}

QString Tdbhouse::failureText(const QString &connectionName, const QString &error)
{
    if (!server_ || connectionName != server_->connectionName())
        return error;
    // A failing statement on the server: tell a lost server apart from a refused statement.
    if (!server_->stillAlive())
        return kCannotSaveText + QStringLiteral("（%1）").arg(error.trimmed().section(QLatin1Char('\n'), 0, 0));
    return error;
}

Tdbhouse::~Tdbhouse()
{
    close();
}

bool Tdbhouse::isOpen() const
{
    return QSqlDatabase::contains(connectionName_) && QSqlDatabase::database(connectionName_, false).isOpen();
}

bool Tdbhouse::openDefault(QString *error)
{
    return open(programPath(QStringLiteral("dat/qvrDemo.db")), error);
}

bool Tdbhouse::open(const QString &path, QString *error)
{
    close();
    path_ = path;
    QString why;
    if (!QFileInfo::exists(path)) {
        if (!createFromSchema(path, &why)) {
            if (error)
                *error = why;
            return false;
        }
    } else if (!looksLikeSqlite(path, &why)) {
        if (error)
            *error = why;
        return false;
    }

    if (openConnection(path, false, &why) && validate(&why)) {
        schemaVersion_ = readSchemaVersion();
        if (schemaVersion_ > kSchemaVersion) {
            // Made by a newer program: read it, never change it.
            const int found = schemaVersion_;
            close();
            if (openConnection(path, true, &why)) {
                schemaVersion_ = found;
                readOnlyReason_ =
                    QStringLiteral("数据库由更新版本的程序建立（版本%1），本程序只能查看，不能修改！").arg(found);
                qCWarning(lcDb).noquote() << QStringLiteral("%1 has schema version %2, newer than %3: opened read-only")
                                                 .arg(path)
                                                 .arg(found)
                                                 .arg(kSchemaVersion);
                return true;
            }
        } else if (schemaVersion_ == kSchemaVersion || upgrade(&why)) {
            return true;
        }
    }
    close();
    if (error)
        *error = why;
    return false;
}

bool Tdbhouse::openReadOnly(const QString &path, QString *error)
{
    close();
    path_ = path;
    QString why;
    if (!QFileInfo::exists(path))
        why = QStringLiteral("%1: no such database").arg(path);
    else if (openConnection(path, true, &why) && validate(&why)) {
        schemaVersion_ = readSchemaVersion();
        readOnlyReason_ = QStringLiteral("只读打开");
        return true;
    }
    close();
    if (error)
        *error = why;
    return false;
}

bool Tdbhouse::openConnection(const QString &path, bool readOnly, QString *error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db.setDatabaseName(path);
    db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000;QSQLITE_OPEN_READONLY")
                                  : QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
    if (db.open())
        return true;
    *error = db.lastError().text();
    return false;
}

int Tdbhouse::readSchemaVersion()
{
    QSqlQuery q(QSqlDatabase::database(connectionName_, false));
    if (!q.exec(Sql::selectSchemaVersion) || !q.next())
        return 0;
    return q.value(0).toInt();
}

bool Tdbhouse::upgrade(QString *error)
{
    // Version 0 (the first builds) and 1 (the delivered schema) hold the seven tables;
    // version 2 adds the as-run log. All steps run in one transaction: a failure leaves
    // the file as it was.
    const int from = schemaVersion_;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    bool ok = true;
    {
        QSqlQuery q(db);
        for (const QString &s : {Sql::createAsRunLog, Sql::createAsRunLogIndex, Sql::setSchemaVersion2}) {
            if (!q.exec(s)) {
                *error =
                    QStringLiteral("schema upgrade to version %1: %2").arg(kSchemaVersion).arg(q.lastError().text());
                ok = false;
                break;
            }
        }
    }
    if (ok && !db.commit()) {
        *error = db.lastError().text();
        ok = false;
    }
    if (!ok) {
        db.rollback();
        qCWarning(lcDb).noquote() << *error;
        return false;
    }
    schemaVersion_ = kSchemaVersion;
    qCInfo(lcDb).noquote()
        << QStringLiteral("database upgraded from schema version %1 to %2").arg(from).arg(kSchemaVersion);
    return true;
}

bool Tdbhouse::validate(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next()) {
        *error = q.lastError().text();
        return false;
    }
    if (q.value(0).toString() != QStringLiteral("ok")) {
        *error = QStringLiteral("damaged: %1").arg(q.value(0).toString());
        return false;
    }
    q.finish();
    for (const TableDef &t : tables) {
        const QString table = QString::fromLatin1(t.name);
        const QSqlRecord rec = db.record(table);
        if (rec.isEmpty()) {
            *error = QStringLiteral("table %1 missing").arg(table);
            return false;
        }
        for (const char *c : t.columns) {
            if (!rec.contains(QString::fromLatin1(c))) {
                *error = QStringLiteral("column %1.%2 missing").arg(table, QString::fromLatin1(c));
                return false;
            }
        }
    }
    return true;
}

bool Tdbhouse::createFromSchema(const QString &path, QString *error)
{
    const QStringList statements = schemaStatements(error);
    if (statements.isEmpty())
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("cannot create the folder %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    // Built under a temporary name and renamed when complete, so an interrupted first
    // start never leaves a half-made database behind.
    const QString temp = path + QStringLiteral(".new");
    QFile::remove(temp);
    const QString name = connectionName_ + QStringLiteral("-create");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(temp);
        if (!db.open()) {
            *error = db.lastError().text();
            ok = false;
        } else {
            db.transaction();
            QSqlQuery q(db);
            for (const QString &s : statements) {
                if (!q.exec(s)) {
                    *error = q.lastError().text();
                    ok = false;
                    break;
                }
            }
            q.finish();
            if (ok && !db.commit()) {
                *error = db.lastError().text();
                ok = false;
            }
            if (!ok)
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (ok && !QFile::rename(temp, path)) {
        *error = QStringLiteral("cannot create %1").arg(path);
        ok = false;
    }
    if (!ok)
        QFile::remove(temp);
    return ok;
}

void Tdbhouse::close()
{
    schemaVersion_ = 0;
    readOnlyReason_.clear();
    for (TQuery *q : findChildren<TQuery *>())
        q->release();
    if (QSqlDatabase::contains(connectionName_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

bool Tdbhouse::serverInTransaction() const
{
    return server_ && server_->isUp() && localOnly_ == 0;
}

void Tdbhouse::beginTransaction()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!db.isOpen())
        throw DbError(QStringLiteral("database is not open"));
    if (!db.transaction())
        throw DbError(db.lastError().text());
    serverTransaction_ = false;
    if (serverInTransaction()) {
        QSqlDatabase server = QSqlDatabase::database(server_->connectionName(), false);
        if (!server.transaction()) {
            const QString why = server.lastError().text();
            db.rollback();
            throw DbError(failureText(server_->connectionName(), why));
        }
        serverTransaction_ = true;
    }
}

void Tdbhouse::commitTransaction()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (serverTransaction_) {
        serverTransaction_ = false;
        QSqlDatabase server = QSqlDatabase::database(server_->connectionName(), false);
        if (!server.commit()) {
            const QString why = server.lastError().text();
            server.rollback();
            db.rollback();
            throw DbError(failureText(server_->connectionName(), why));
        }
    }
    if (!db.commit()) {
        const QString why = db.lastError().text();
        db.rollback();
        throw DbError(why);
    }
}

void Tdbhouse::rollbackTransaction()
{
    if (serverTransaction_) {
        serverTransaction_ = false;
        QSqlDatabase::database(server_->connectionName(), false).rollback();
    }
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    db.rollback();
}

namespace {
std::unique_ptr<Tdbhouse> &dbInstance()
{
    static std::unique_ptr<Tdbhouse> instance;
    return instance;
}
} // namespace

Tdbhouse &dbhouse()
{
    auto &d = dbInstance();
    if (!d)
        d = std::make_unique<Tdbhouse>();
    return *d;
}

Tdbhouse *dbhouseIfMade()
{
    return dbInstance().get();
}

void destroyDbhouse()
{
    dbInstance().reset();
}
