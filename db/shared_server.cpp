#include "db/shared_server.h"

#include "core/logging.h"
#include "core/program_folder.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <vector>

namespace {

QAtomicInt serverCounter;

QString nextConnectionName(const char *what)
{
    return QStringLiteral("chimecast-server-%1-%2").arg(QString::fromLatin1(what)).arg(serverCounter.fetchAndAddRelaxed(1));
}

// Opens a QPSQL connection named `name` with the configuration; the caller removes it.
bool openServerConnection(const ServerConfig &config, const QString &name, QString *error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!db.isValid()) {
        *error = QStringLiteral("PostgreSQL 驱动未安装（libqt6sql6-psql）");
        return false;
    }
    db.setHostName(config.host);
    db.setPort(config.port);
    db.setDatabaseName(config.database);
    db.setUserName(config.user);
    if (!config.passwordFile.isEmpty()) {
        QString password;
        if (!readPasswordFile(config.passwordFile, &password, error))
            return false;
        db.setPassword(password);
    }
    db.setConnectOptions(QStringLiteral("connect_timeout=%1;application_name=chimecast").arg(kServerConnectTimeoutSeconds));
    if (!db.open()) {
        *error = db.lastError().text().trimmed();
        return false;
    }
    return true;
}

struct MirrorTable
{
    QString name;
    QStringList columns;
};

const std::vector<MirrorTable> &mirrorTables()
{
    static const std::vector<MirrorTable> tables = {
        {QStringLiteral("b_sjb"),
         {QStringLiteral("iid"), QStringLiteral("sjmc"), QStringLiteral("jmmc"), QStringLiteral("kssj"),
          QStringLiteral("jssj"), QStringLiteral("wjpath"), QStringLiteral("bfsc"), QStringLiteral("yldx"),
          QStringLiteral("bffs"), QStringLiteral("bfzt"), QStringLiteral("wjbz"), QStringLiteral("over"),
          QStringLiteral("ixh")}},
        {QStringLiteral("x_sjbsz"),
         {QStringLiteral("iid"), QStringLiteral("xq1"), QStringLiteral("xq2"), QStringLiteral("xq3"),
          QStringLiteral("xq4"), QStringLiteral("xq5"), QStringLiteral("xq6"), QStringLiteral("xq7")}},
        {QStringLiteral("x_jrb"), {QStringLiteral("iid"), QStringLiteral("rq")}},
        {QStringLiteral("b_gqlbmxbak"),
         {QStringLiteral("iid"), QStringLiteral("wjpath"), QStringLiteral("wjmc"), QStringLiteral("lbmc"),
          QStringLiteral("zsc")}},
        {QStringLiteral("b_gbb"), {QStringLiteral("iid"), QStringLiteral("bt"), QStringLiteral("strwz")}},
    };
    return tables;
}

} // namespace

QString ServerConfig::describe() const
{
    return QStringLiteral("%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

QString ServerConfig::problem() const
{
    if (host.trimmed().isEmpty())
        return QStringLiteral("没有填写服务器地址");
    if (port <= 0 || port > 65535)
        return QStringLiteral("服务器端口无效");
    if (database.trimmed().isEmpty())
        return QStringLiteral("没有填写数据库名");
    return {};
}

bool readPasswordFile(const QString &path, QString *password, QString *error)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        *error = QStringLiteral("密码文件 %1 不存在").arg(path);
        return false;
    }
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (info.permissions() & others) {
        *error = QStringLiteral("密码文件 %1 其他用户也能读写，请改为只有本人可读（chmod 600）").arg(path);
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("密码文件 %1 无法读取：%2").arg(path, f.errorString());
        return false;
    }
    QString text = QString::fromUtf8(f.readLine());
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    *password = text;
    return true;
}

SharedServer::SharedServer(ServerConfig config)
    : config_(std::move(config)),
      connectionName_(nextConnectionName("main"))
{}

SharedServer::~SharedServer()
{
    if (QSqlDatabase::contains(connectionName_)) {
        QSqlDatabase::database(connectionName_, false).close();
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

bool SharedServer::connect(QString *error)
{
    if (QSqlDatabase::contains(connectionName_)) {
        QSqlDatabase::database(connectionName_, false).close();
        QSqlDatabase::removeDatabase(connectionName_);
    }
    up_ = false;
    QString why = config_.problem();
    if (why.isEmpty() && openServerConnection(config_, connectionName_, &why) && ensureSchema(&why)) {
        up_ = true;
        lastError_.clear();
        qCInfo(lcDb).noquote() << QStringLiteral("timetable server %1 connected (schema version %2)")
                                      .arg(config_.describe())
                                      .arg(schemaVersion_);
        return true;
    }
    lastError_ = why;
    qCWarning(lcDb).noquote() << QStringLiteral("timetable server %1 not reachable: %2").arg(config_.describe(), why);
    if (QSqlDatabase::contains(connectionName_)) {
        QSqlDatabase::database(connectionName_, false).close();
        QSqlDatabase::removeDatabase(connectionName_);
    }
    if (error)
        *error = why;
    return false;
}

void SharedServer::markDown(const QString &why)
{
    if (up_)
        qCWarning(lcDb).noquote() << QStringLiteral("timetable server %1 lost: %2").arg(config_.describe(), why);
    up_ = false;
    lastError_ = why;
    if (QSqlDatabase::contains(connectionName_))
        QSqlDatabase::database(connectionName_, false).close();
}

bool SharedServer::stillAlive()
{
    if (!up_)
        return false;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    {
        QSqlQuery q(db);
        if (db.isOpen() && q.exec(Sql::Server::probe))
            return true;
        // Inside a transaction a failed statement makes every later one fail with
        // "current transaction is aborted" (25P02): the server did answer.
        if (q.lastError().nativeErrorCode() == QStringLiteral("25P02"))
            return true;
        const QString why = q.lastError().text().trimmed();
        markDown(why.isEmpty() ? QStringLiteral("the server does not answer") : why);
    }
    return false;
}

bool SharedServer::ensureSchema(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    bool ok = true;
    {
        QSqlQuery q(db);
        auto run = [&](const QString &sql) {
            if (ok && !q.exec(sql)) {
                *error = QStringLiteral("server schema: %1").arg(q.lastError().text().trimmed());
                ok = false;
            }
            return ok;
        };
        run(Sql::Server::lockSchema);
        run(Sql::Server::createVersionTable);
        schemaVersion_ = 0;
        if (run(Sql::Server::selectVersion) && q.next())
            schemaVersion_ = q.value(0).toInt();
        q.finish();
        if (ok && schemaVersion_ == 0) {
            for (const QString &s : Sql::Server::createTables)
                run(s);
            if (ok) {
                q.prepare(Sql::Server::insertVersion);
                q.bindValue(QStringLiteral(":version"), kSchemaVersion);
                if (!q.exec()) {
                    *error = q.lastError().text();
                    ok = false;
                }
            }
            if (ok) {
                qCInfo(lcDb).noquote() << QStringLiteral("timetable server %1: shared tables created (schema version %2)")
                                              .arg(config_.describe())
                                              .arg(kSchemaVersion);
                schemaVersion_ = kSchemaVersion;
            }
        }
    }
    if (ok && !db.commit()) {
        *error = db.lastError().text();
        ok = false;
    }
    if (!ok) {
        db.rollback();
        return false;
    }
    // There are no older server schemas yet; a newer one is read (the mirror) and never
    // written.
    readOnlyReason_.clear();
    if (schemaVersion_ > kSchemaVersion) {
        readOnlyReason_ =
            QStringLiteral("时间表服务器的数据库由更新版本的程序建立（版本%1），本程序只能读取，不能修改！").arg(schemaVersion_);
        qCWarning(lcDb).noquote() << QStringLiteral("timetable server %1 has schema version %2, newer than %3: not written")
                                         .arg(config_.describe())
                                         .arg(schemaVersion_)
                                         .arg(kSchemaVersion);
    }
    return true;
}

bool SharedServer::copyInto(Tdbhouse &local, const QDateTime &now, QString *error)
{
    QString why;
    auto fail = [&](const QString &text) {
        why = text.trimmed();
        return false;
    };
    QSqlDatabase server = QSqlDatabase::database(connectionName_, false);
    QSqlDatabase mirror = QSqlDatabase::database(local.connectionName(), false);
    bool ok = up_ && server.isOpen() && mirror.isOpen();
    if (!ok)
        fail(up_ ? QStringLiteral("database is not open") : lastError_);

    // Read everything first (one snapshot), then write the local copy in one transaction.
    std::vector<std::vector<std::vector<QVariant>>> rows(mirrorTables().size());
    bool serverFailed = false;
    if (ok) {
        ok = server.transaction();
        if (!ok) {
            serverFailed = true;
            fail(server.lastError().text());
        }
    }
    if (ok) {
        QSqlQuery q(server);
        q.setForwardOnly(true);
        if (!q.exec(Sql::Server::snapshotRead))
            ok = fail(q.lastError().text());
        for (size_t t = 0; ok && t < mirrorTables().size(); ++t) {
            const MirrorTable &table = mirrorTables()[t];
            if (!q.exec(Sql::selectForMirror(table.name, table.columns))) {
                ok = fail(q.lastError().text());
                break;
            }
            while (q.next()) {
                std::vector<QVariant> row;
                row.reserve(static_cast<size_t>(table.columns.size()));
                for (qsizetype c = 0; c < table.columns.size(); ++c)
                    row.push_back(q.value(static_cast<int>(c)));
                rows[t].push_back(std::move(row));
            }
            if (q.lastError().isValid())
                ok = fail(q.lastError().text());
        }
        q.finish();
        serverFailed = !ok;
        server.rollback(); // read only: nothing to keep
    }
    if (serverFailed) {
        stillAlive();
    }

    if (ok) {
        if (!mirror.transaction()) {
            ok = fail(mirror.lastError().text());
        } else {
            QSqlQuery q(mirror);
            for (size_t t = 0; ok && t < mirrorTables().size(); ++t) {
                const MirrorTable &table = mirrorTables()[t];
                if (!q.exec(Sql::deleteForMirror(table.name))) {
                    ok = fail(q.lastError().text());
                    break;
                }
                if (!q.prepare(Sql::insertForMirror(table.name, table.columns))) {
                    ok = fail(q.lastError().text());
                    break;
                }
                for (const auto &row : rows[t]) {
                    for (size_t c = 0; c < row.size(); ++c)
                        q.bindValue(static_cast<int>(c), row[c]);
                    if (!q.exec()) {
                        ok = fail(q.lastError().text());
                        break;
                    }
                }
            }
            q.finish();
            if (ok && !mirror.commit())
                ok = fail(mirror.lastError().text());
            if (!ok)
                mirror.rollback();
        }
    }
    if (ok) {
        QString stampError;
        if (!writeMirrorStamp(local.path(), {now, config_.describe()}, &stampError))
            qCWarning(lcDb).noquote() << QStringLiteral("mirror stamp not written: %1").arg(stampError);
        return true;
    }
    qCWarning(lcDb).noquote() << QStringLiteral("timetable server %1: mirror not refreshed: %2")
                                     .arg(config_.describe(), why);
    if (error)
        *error = why;
    return false;
}

bool SharedServer::probe(const ServerConfig &config, QString *error)
{
    const QString name = nextConnectionName("probe");
    QString why = config.problem();
    bool ok = why.isEmpty() && openServerConnection(config, name, &why);
    if (ok) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        QSqlQuery q(db);
        ok = q.exec(Sql::Server::probe);
        if (!ok)
            why = q.lastError().text();
    }
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    if (!ok && error)
        *error = why;
    return ok;
}

MirrorStamp readMirrorStamp(const QString &localDatabasePath)
{
    MirrorStamp stamp;
    bool ok = false;
    const QString text = readTextFile(localDatabasePath + QStringLiteral(".mirror"), &ok);
    if (!ok)
        return stamp;
    const QStringList lines = text.split(QLatin1Char('\n'));
    stamp.at = QDateTime::fromString(lines.value(0).trimmed(), Qt::ISODate);
    stamp.source = lines.value(1).trimmed();
    return stamp;
}

bool writeMirrorStamp(const QString &localDatabasePath, const MirrorStamp &stamp, QString *error)
{
    const QString text = stamp.at.toString(Qt::ISODate) + QLatin1Char('\n') + stamp.source + QLatin1Char('\n');
    return writeFileAtomically(localDatabasePath + QStringLiteral(".mirror"), text.toUtf8(), error);
}

QString mirrorAgeText(const QDateTime &at, const QDateTime &now)
{
    const qint64 minutes = qMax<qint64>(0, at.secsTo(now) / 60);
    const qint64 days = minutes / (24 * 60);
    const qint64 hours = (minutes / 60) % 24;
    const qint64 mins = minutes % 60;
    if (days > 0)
        return QStringLiteral("%1天%2小时").arg(days).arg(hours);
    if (hours > 0)
        return QStringLiteral("%1小时%2分钟").arg(hours).arg(mins);
    return QStringLiteral("%1分钟").arg(mins);
}
