#include "db/query.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

TQuery::TQuery(const QString &name, QObject *parent)
    : QAbstractTableModel(parent)
{
    setObjectName(name);
}

void TQuery::close()
{
    if (!active_ && rows_.empty() && columns_.isEmpty())
        return;
    beginResetModel();
    rows_.clear();
    columns_.clear();
    current_ = 0;
    active_ = false;
    endResetModel();
}

void TQuery::release()
{
    close();
    statement_.reset();
    statementSql_.clear();
    statementConnection_.clear();
}

void TQuery::setSql(const QString &text)
{
    sql_ = text;
    params_.clear();
}

void TQuery::setSql(const QString &line1, const QString &line2)
{
    setSql(line1 + QLatin1Char('\n') + line2);
}

void TQuery::setParam(const QString &name, const QVariant &value)
{
    for (auto &p : params_) {
        if (p.first == name) {
            p.second = toDbValue(value);
            return;
        }
    }
    params_.emplace_back(name, toDbValue(value));
}

QSqlQuery &TQuery::run()
{
    const QString connection = router_ ? router_->connectionFor(sql_) : connectionName_;
    auto failed = [&](const QString &why) {
        return DbError(router_ ? router_->failureText(connection, why) : why);
    };
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    if (!db.isOpen())
        throw failed(QStringLiteral("database is not open"));
    if (!statement_ || statementSql_ != sql_ || statementConnection_ != connection) {
        statement_ = std::make_unique<QSqlQuery>(db);
        statement_->setForwardOnly(true);
        if (!statement_->prepare(sql_)) {
            const QString why = statement_->lastError().text();
            statement_.reset();
            throw failed(why);
        }
        statementSql_ = sql_;
        statementConnection_ = connection;
    }
    QSqlQuery &q = *statement_;
    for (const auto &p : params_) {
        if (sql_.contains(QLatin1Char(':') + p.first))
            q.bindValue(QLatin1Char(':') + p.first, p.second);
    }
    if (!q.exec()) {
        const QString why = q.lastError().text();
        statement_.reset();
        throw failed(why);
    }
    return q;
}

void TQuery::open()
{
    close();
    QSqlQuery &q = run();
    beginResetModel();
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        columns_.append(rec.fieldName(i));
    while (q.next()) {
        std::vector<QVariant> row;
        row.reserve(static_cast<size_t>(rec.count()));
        for (int i = 0; i < rec.count(); ++i)
            row.push_back(q.value(i));
        rows_.push_back(std::move(row));
    }
    const bool failed = q.lastError().isValid();
    const QString failure = q.lastError().text();
    q.finish();
    if (failed) {
        rows_.clear();
        columns_.clear();
    }
    current_ = 0;
    active_ = !failed;
    endResetModel();
    if (failed)
        throw DbError(router_ ? router_->failureText(statementConnection_, failure) : failure);
    Q_EMIT currentRowChanged(current_);
}

int TQuery::execSql()
{
    QSqlQuery &q = run();
    const int changed = q.numRowsAffected();
    q.finish();
    return changed;
}

void TQuery::first()
{
    moveTo(0);
}

void TQuery::next()
{
    moveTo(current_ + 1);
}

void TQuery::moveTo(int row)
{
    current_ = qBound(0, row, recordCount());
    Q_EMIT currentRowChanged(current_);
}

QVariant TQuery::field(const QString &name) const
{
    if (eof())
        throw DbError(QStringLiteral("%1: no current record").arg(objectName()));
    return value(current_, name);
}

QVariant TQuery::value(int row, const QString &name) const
{
    qsizetype col = -1;
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0) {
            col = i;
            break;
        }
    }
    if (col < 0)
        throw DbError(QStringLiteral("%1: field '%2' not found").arg(objectName(), name));
    if (row < 0 || row >= recordCount())
        throw DbError(QStringLiteral("%1: no record %2").arg(objectName()).arg(row));
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

QStringList TQuery::fieldNames() const
{
    return columns_;
}

void TQuery::setFieldLabel(const QString &field, const QString &label)
{
    for (auto &l : labels_) {
        if (l.first == field) {
            l.second = label;
            return;
        }
    }
    labels_.emplace_back(field, label);
}

int TQuery::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : recordCount();
}

int TQuery::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TQuery::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= recordCount() || index.column() >= columns_.size())
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return rows_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())];
}

QVariant TQuery::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < columns_.size()) {
        for (const auto &l : labels_) {
            if (l.first.compare(columns_[section], Qt::CaseInsensitive) == 0)
                return l.second;
        }
        return columns_[section];
    }
    if (orientation == Qt::Vertical)
        return section + 1;
    return {};
}

QVariant toDbValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QTime: return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime: return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    default: return value;
    }
}

QTime timeFromDb(const QVariant &value)
{
    const QString text = value.toString().trimmed();
    QTime t = QTime::fromString(text, QStringLiteral("H:mm:ss"));
    if (t.isValid())
        return t;
    t = QTime::fromString(text, Qt::ISODateWithMs);
    if (t.isValid())
        return QTime(t.hour(), t.minute(), t.second());
    const QDateTime dt = dateTimeFromDb(value);
    if (dt.isValid())
        return QTime(dt.time().hour(), dt.time().minute(), dt.time().second());
    return {};
}

QDateTime dateTimeFromDb(const QVariant &value)
{
    const QString text = value.toString().trimmed();
    const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (d.isValid())
        return QDateTime(d, QTime(0, 0));
    QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (dt.isValid())
        return dt;
    dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    return dt;
}
