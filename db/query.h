#pragma once
// TQuery: a named, reusable statement holder over the one database connection. A user
// closes it, replaces its SQL text, sets named parameters (":name" in the text), then
// opens it (SELECT) or executes it (INSERT, UPDATE, DELETE). An opened query buffers its
// rows and has a current row (first/next/eof, field by name). It is also the table model
// of the grid bound to it, so the grid shows whatever the query last opened.
//
// Failures throw DbError with the database's own text; the handler that issued the
// statement catches it, reports it and abandons its remaining steps.

#include <QAbstractTableModel>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &text)
        : std::runtime_error(text.toStdString()),
          text_(text)
    {}
    const QString &text() const { return text_; }

private:
    QString text_;
};

// Chooses the connection a statement runs on, for the query objects that may reach the
// shared timetable server (the data module is the one router).
class QueryRouter
{
public:
    virtual ~QueryRouter() = default;
    // The connection for the statement; throws DbError when it cannot run anywhere (a
    // change of a shared table while the server cannot be reached).
    virtual QString connectionFor(const QString &sql) = 0;
    // The statement failed on that connection: the text the user is told.
    virtual QString failureText(const QString &connectionName, const QString &error) = 0;
};

class TQuery : public QAbstractTableModel
{
    Q_OBJECT
public:
    TQuery(const QString &name, QObject *parent = nullptr);

    // Name of the connection the statements run on (set by the data module).
    void setConnectionName(const QString &connectionName) { connectionName_ = connectionName; }
    // Lets the router pick the connection of each statement (null: always the one above).
    void setRouter(QueryRouter *router) { router_ = router; }

    // Ends the current result; the grid bound to this query shows no rows.
    void close();
    // Closes and also drops the prepared statement (before the connection closes).
    void release();
    // Replaces the SQL text (lines are joined with a line break) and forgets parameters.
    void setSql(const QString &text);
    void setSql(const QString &line1, const QString &line2);
    QString sql() const { return sql_; }

    // Sets a parameter by name (without the colon). Times, dates and date-times are passed
    // in the database's text forms: 'HH:MM:SS', 'YYYY-MM-DD', 'YYYY-MM-DD HH:MM:SS'.
    void setParam(const QString &name, const QVariant &value);

    // Runs a SELECT and moves to its first row. Throws DbError.
    void open();
    // Runs an INSERT, UPDATE or DELETE; returns the number of rows changed. Throws DbError.
    int execSql();

    bool isActive() const { return active_; }
    int recordCount() const { return static_cast<int>(rows_.size()); }
    // Cursor over the buffered rows.
    void first();
    void next();
    bool eof() const { return current_ >= recordCount(); }
    int recNo() const { return current_; }
    void moveTo(int row);

    // Value of a column of the current row. Throws DbError when there is no current row or
    // no such column.
    QVariant field(const QString &name) const;
    QString fieldText(const QString &name) const { return field(name).toString(); }
    // Value of a column of any row.
    QVariant value(int row, const QString &name) const;
    QStringList fieldNames() const;
    // Column title shown by grids for a field (the field name when none is set).
    void setFieldLabel(const QString &field, const QString &label);

    // Table model of the buffered rows (read only).
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void currentRowChanged(int row);

private:
    // Prepares the SQL text (reusing the statement while the text is unchanged), binds the
    // parameters and runs it.
    QSqlQuery &run();

    QString connectionName_;
    QueryRouter *router_ = nullptr;
    std::unique_ptr<QSqlQuery> statement_;
    QString statementConnection_;
    QString statementSql_;
    QString sql_;
    std::vector<std::pair<QString, QVariant>> params_;
    std::vector<std::pair<QString, QString>> labels_;
    QStringList columns_;
    std::vector<std::vector<QVariant>> rows_;
    int current_ = 0;
    bool active_ = false;
};

// Converts Qt date/time values to the database's text forms; other values pass unchanged.
QVariant toDbValue(const QVariant &value);
// Reads a time-of-day column ('HH:MM:SS', or a date-time text whose date is ignored);
// invalid QTime when the text cannot be read.
QTime timeFromDb(const QVariant &value);
// Reads a date or date-time column; invalid when the text cannot be read.
QDateTime dateTimeFromDb(const QVariant &value);
