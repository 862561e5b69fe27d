#include "editors/broadcast_address_query.h"

#include "db/db_grid.h"
#include "db/dbhouse.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TFormgbcx::TFormgbcx(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Formgbcx"));
    setWindowTitle(QStringLiteral("广播网址查询"));
    resize(520, 320);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("广播网址"));
    TQuery *q = dbhouse().qgbcx;
    bindGrid(DBGrid1, q,
             {{QStringLiteral("bt"), QStringLiteral("标题")}, {QStringLiteral("strwz"), QStringLiteral("广播网址")}});
    DBGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    DBGrid1->installEventFilter(this);
    connect(DBGrid1, &QTableView::doubleClicked, this, [this] { DBGrid1DblClick(); });
    auto widths = [this, q] {
        const QStringList fields = q->fieldNames();
        const qsizetype bt = fields.indexOf(QStringLiteral("bt"));
        const qsizetype wz = fields.indexOf(QStringLiteral("strwz"));
        if (bt >= 0)
            DBGrid1->setColumnWidth(static_cast<int>(bt), 213);
        if (wz >= 0)
            DBGrid1->setColumnWidth(static_cast<int>(wz), 258);
    };
    // The caller opens qgbcx before the picker exists, so the widths are set now as well.
    widths();
    connect(q, &QAbstractItemModel::modelReset, DBGrid1, widths);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [q](const QModelIndex &current) {
        if (current.isValid() && current.row() != q->recNo())
            q->moveTo(current.row());
    });

    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("取消"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(DBGrid1);
    layout->addLayout(buttons);
}

void TFormgbcx::DBGrid1DblClick()
{
    TQuery *q = dbhouse().qgbcx;
    if (q->isActive() && q->recordCount() > 0)
        accept();
}

QString TFormgbcx::chosenAddress() const
{
    TQuery *q = dbhouse().qgbcx;
    if (!q->isActive() || q->eof())
        return {};
    return q->fieldText(QStringLiteral("strwz"));
}

bool TFormgbcx::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            DBGrid1DblClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
