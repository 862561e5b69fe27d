#pragma once
// Binds a grid to a query object: the grid shows the query's rows, only the listed fields,
// in the listed order and with the listed titles, whole rows selected. The layout is
// re-applied whenever the query is reopened (its columns may come in another order).

#include <QString>

#include <utility>
#include <vector>

class QTableView;
class TQuery;

struct GridColumn
{
    QString field;
    QString title;
};

void bindGrid(QTableView *grid, TQuery *query, const std::vector<GridColumn> &columns);
