#include "db/db_grid.h"

#include "db/query.h"

#include <QHeaderView>
#include <QTableView>

namespace {

void layoutColumns(QTableView *grid, TQuery *query, const std::vector<GridColumn> &columns)
{
    QHeaderView *header = grid->horizontalHeader();
    const QStringList fields = query->fieldNames();
    for (int c = 0; c < fields.size(); ++c)
        grid->setColumnHidden(c, true);
    int visualPos = 0;
    for (const GridColumn &col : columns) {
        const qsizetype logical = fields.indexOf(col.field);
        if (logical < 0)
            continue;
        grid->setColumnHidden(static_cast<int>(logical), false);
        header->moveSection(header->visualIndex(static_cast<int>(logical)), visualPos++);
    }
}

} // namespace

void bindGrid(QTableView *grid, TQuery *query, const std::vector<GridColumn> &columns)
{
    for (const GridColumn &col : columns)
        query->setFieldLabel(col.field, col.title);
    grid->setModel(query);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QObject::connect(query, &QAbstractItemModel::modelReset, grid,
                     [grid, query, columns] { layoutColumns(grid, query, columns); });
    QObject::connect(query, &TQuery::currentRowChanged, grid, [grid, query](int row) {
        if (row < query->recordCount())
            grid->selectRow(row);
    });
    layoutColumns(grid, query, columns);
}
