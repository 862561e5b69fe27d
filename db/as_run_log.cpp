#include "db/as_run_log.h"

#include "core/logging.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"

#include <QStringList>

#include <exception>

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

AsRunLog::AsRunLog(Tdbhouse *db, QObject *parent)
    : QObject(parent),
      db_(db)
{}

Tdbhouse *AsRunLog::db() const
{
    return db_ ? db_ : dbhouseIfMade();
}

bool AsRunLog::write(const AsRunRecord &record)
{
    try {
        if (!db())
            throw DbError(QStringLiteral("no data module"));
        TQuery *q = db()->qbfrz;
        q->close();
        q->setSql(Sql::insertAsRunLine1, Sql::insertAsRunLine2);
        q->setParam(QStringLiteral("rq"), record.at.date().toString(QStringLiteral("yyyy-MM-dd")));
        q->setParam(QStringLiteral("sj"), record.at.time().toString(QStringLiteral("HH:mm:ss")));
        q->setParam(QStringLiteral("sjmc"), record.sjmc);
        q->setParam(QStringLiteral("jmmc"), record.jmmc);
        q->setParam(QStringLiteral("kssj"), record.kssj);
        q->setParam(QStringLiteral("sjlx"), record.event);
        q->setParam(QStringLiteral("bfnr"), record.content);
        q->setParam(QStringLiteral("xms"), record.items < 0 ? QVariant() : QVariant(record.items));
        q->setParam(QStringLiteral("yy"), record.reason);
        q->execSql();
    } catch (const std::exception &e) {
        qCWarning(lcDb).noquote() << QStringLiteral("as-run log not written (%1 %2 %3): %4")
                                         .arg(record.event, record.jmmc, record.reason, QString::fromUtf8(e.what()));
        return false;
    }
    if (record.isProblem())
        Q_EMIT problemWritten(record);
    return true;
}

QList<AsRunRecord> AsRunLog::day(const QDate &date, bool problemsOnly)
{
    if (!db())
        throw DbError(QStringLiteral("no data module"));
    TQuery *q = db()->qbfrz;
    q->close();
    q->setSql(problemsOnly ? Sql::selectAsRunProblems : Sql::selectAsRunByDate);
    q->setParam(QStringLiteral("rq"), date.toString(QStringLiteral("yyyy-MM-dd")));
    q->open();
    QList<AsRunRecord> out;
    for (int r = 0; r < q->recordCount(); ++r) {
        AsRunRecord rec;
        const QDate d = QDate::fromString(q->value(r, QStringLiteral("rq")).toString(), QStringLiteral("yyyy-MM-dd"));
        const QTime t = QTime::fromString(q->value(r, QStringLiteral("sj")).toString(), QStringLiteral("HH:mm:ss"));
        rec.at = QDateTime(d, t);
        rec.sjmc = q->value(r, QStringLiteral("sjmc")).toString();
        rec.jmmc = q->value(r, QStringLiteral("jmmc")).toString();
        rec.kssj = q->value(r, QStringLiteral("kssj")).toString();
        rec.event = q->value(r, QStringLiteral("sjlx")).toString();
        rec.content = q->value(r, QStringLiteral("bfnr")).toString();
        const QVariant items = q->value(r, QStringLiteral("xms"));
        rec.items = items.isNull() ? -1 : items.toInt();
        rec.reason = q->value(r, QStringLiteral("yy")).toString();
        out.append(rec);
    }
    q->close();
    return out;
}

bool AsRunLog::hasEntry(const QDate &date, const QString &sjmc, const QString &jmmc, const QString &kssj)
{
    try {
        if (!db())
            throw DbError(QStringLiteral("no data module"));
        TQuery *q = db()->qbfrz;
        q->close();
        q->setSql(Sql::countAsRunOfEntry);
        q->setParam(QStringLiteral("rq"), date.toString(QStringLiteral("yyyy-MM-dd")));
        q->setParam(QStringLiteral("sjmc"), sjmc);
        q->setParam(QStringLiteral("jmmc"), jmmc);
        q->setParam(QStringLiteral("kssj"), kssj);
        q->open();
        const bool found = q->field(QStringLiteral("n")).toInt() > 0;
        q->close();
        return found;
    } catch (const std::exception &e) {
        qCWarning(lcDb).noquote() << QStringLiteral("as-run log not read: %1").arg(QString::fromUtf8(e.what()));
        return false;
    }
}

int AsRunLog::prune(const QDate &today)
{
    try {
        if (!db())
            throw DbError(QStringLiteral("no data module"));
        TQuery *q = db()->qbfrz;
        q->close();
        q->setSql(Sql::deleteAsRunBefore);
        q->setParam(QStringLiteral("rq"), today.addDays(-kKeepDays).toString(QStringLiteral("yyyy-MM-dd")));
        return q->execSql();
    } catch (const std::exception &e) {
        qCWarning(lcDb).noquote() << QStringLiteral("as-run log not pruned: %1").arg(QString::fromUtf8(e.what()));
        return -1;
    }
}

QString AsRunLog::csv(const QList<AsRunRecord> &records)
{
    QString out = QStringLiteral("日期,时间,时间表,节目,开始时间,事件,播放内容,项目数,原因\n");
    for (const AsRunRecord &r : records) {
        const QStringList fields = {r.at.date().toString(QStringLiteral("yyyy-MM-dd")),
                                    r.at.time().toString(QStringLiteral("HH:mm:ss")),
                                    r.sjmc,
                                    r.jmmc,
                                    r.kssj,
                                    r.event,
                                    r.content,
                                    r.items < 0 ? QString() : QString::number(r.items),
                                    r.reason};
        QStringList quoted;
        for (const QString &f : fields)
            quoted.append(csvField(f));
        out += quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out;
}

AsRunLog &asRunLog()
{
    static AsRunLog log;
    return log;
}
