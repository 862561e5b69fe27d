#include "scheduler/shared_timetable.h"

#include "core/logging.h"
#include "core/settings.h"
#include "db/dbhouse.h"

std::unique_ptr<SharedServer> serverFromSettings(const TGlobal &settings)
{
    if (settings.strdbtype.trimmed().compare(QStringLiteral("pgsql"), Qt::CaseInsensitive) != 0)
        return nullptr;
    ServerConfig c;
    c.host = settings.strdbhost.trimmed();
    bool ok = false;
    c.port = settings.strdbport.trimmed().toInt(&ok);
    if (!ok)
        c.port = 0;
    c.database = settings.strdbname.trimmed();
    c.user = settings.strdbuser.trimmed();
    c.passwordFile = settings.strdbpassfile.trimmed();
    return std::make_unique<SharedServer>(c);
}

TimetableSource refreshSharedTables(Tdbhouse &db, const QDateTime &now)
{
    TimetableSource source;
    SharedServer *server = db.server();
    if (!server)
        return source;
    QString why = server->lastError();
    if (server->isUp() && server->copyInto(db, now, &why)) {
        source.kind = TimetableSource::Kind::server;
        source.mirrorAt = now;
        return source;
    }
    const MirrorStamp stamp = readMirrorStamp(db.path());
    if (stamp.at.isValid()) {
        source.kind = TimetableSource::Kind::mirror;
        source.mirrorAt = stamp.at;
        source.notice = QStringLiteral("使用本地备份的时间表（服务器无法连接），备份于%1（%2前）")
                            .arg(stamp.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), mirrorAgeText(stamp.at, now));
    } else {
        source.kind = TimetableSource::Kind::noMirror;
        source.notice = QStringLiteral("时间表服务器无法连接，本机还没有时间表的备份，今天没有节目可播放！");
    }
    qCWarning(lcScheduler).noquote() << QStringLiteral("%1; server %2: %3")
                                            .arg(source.notice, server->config().describe(), why);
    return source;
}

QString databaseDescription(const Tdbhouse &db)
{
    if (const SharedServer *server = db.server())
        return QStringLiteral("PostgreSQL 服务器 %1").arg(server->config().describe());
    return QStringLiteral("本地文件 %1").arg(db.path());
}

QString mirrorDescription(const Tdbhouse &db, const QDateTime &now)
{
    if (!db.server())
        return {};
    const MirrorStamp stamp = readMirrorStamp(db.path());
    if (!stamp.at.isValid())
        return QStringLiteral("本地备份：没有");
    return QStringLiteral("本地备份：%1（%2前，来自 %3）")
        .arg(stamp.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), mirrorAgeText(stamp.at, now), stamp.source);
}
