#include "scheduler/today_grid.h"

#include <QAbstractProxyModel>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QTableView>

namespace {

QSqlQueryModel *sqlModelOf(QTableView *view)
{
    QAbstractItemModel *m = view ? view->model() : nullptr;
    while (auto *proxy = qobject_cast<QAbstractProxyModel *>(m))
        m = proxy->sourceModel();
    return qobject_cast<QSqlQueryModel *>(m);
}

// Row of the source model behind the view's row `row`.
int sourceRow(QTableView *view, int row)
{
    QModelIndex index = view->model()->index(row, 0);
    QAbstractItemModel *m = view->model();
    while (auto *proxy = qobject_cast<QAbstractProxyModel *>(m)) {
        index = proxy->mapToSource(index);
        m = proxy->sourceModel();
    }
    return index.row();
}

void fetchAll(QAbstractItemModel *m)
{
    while (m->canFetchMore(QModelIndex()))
        m->fetchMore(QModelIndex());
}

void highlight(QTableView *view, int row)
{
    if (view->model()->rowCount() == 0)
        return;
    view->setCurrentIndex(view->model()->index(row, 0));
    view->selectRow(row);
}

} // namespace

TableViewTodayGrid::TableViewTodayGrid(QTableView *view, std::function<void()> reopenQuery)
    : view_(view),
      reopenQuery_(std::move(reopenQuery))
{}

std::optional<TodayEntry> TableViewTodayGrid::currentRow()
{
    QSqlQueryModel *model = sqlModelOf(view_);
    if (!model || view_->model()->rowCount() == 0)
        return std::nullopt;
    // A grid with rows always has a current row: the first one until the user moves.
    int row = view_->currentIndex().isValid() ? view_->currentIndex().row() : 0;
    const int source = sourceRow(view_, row);
    if (source < 0)
        return std::nullopt;
    return todayEntryFromRecord(model->record(source));
}

void TableViewTodayGrid::locateIxh(int ixh)
{
    QAbstractItemModel *m = view_ ? view_->model() : nullptr;
    QSqlQueryModel *model = sqlModelOf(view_);
    if (!m || !model)
        return;
    fetchAll(m);
    for (int row = 0; row < m->rowCount(); ++row) {
        const int source = sourceRow(view_, row);
        if (source >= 0 && model->record(source).value(QStringLiteral("ixh")).toInt() == ixh) {
            highlight(view_, row);
            return;
        }
    }
}

void TableViewTodayGrid::reopen()
{
    QSqlQueryModel *model = sqlModelOf(view_);
    if (!model)
        return;
    if (reopenQuery_) {
        reopenQuery_();
    } else {
        QSqlQuery q = model->query();
        if (q.exec())
            model->setQuery(std::move(q));
    }
    highlight(view_, 0);
}
