#pragma once
// TFormgbcx "广播网址查询": picks a network address from the stored broadcast content.
// Its grid shows the data module's qgbcx, which the caller opens before showing it and
// closes afterwards. "确定" (or a double-click or Enter on a row) closes it with
// QDialog::Accepted, "取消" with QDialog::Rejected.

#include <QDialog>

class QPushButton;
class QTableView;

class TFormgbcx : public QDialog
{
    Q_OBJECT
public:
    explicit TFormgbcx(QWidget *parent = nullptr);

    QTableView *DBGrid1;  // the stored addresses: bt "标题", strwz "广播网址"
    QPushButton *BitBtn1; // "确定"
    QPushButton *BitBtn2; // "取消"

    // Double-click or Enter in the grid: acts as "确定" when the grid has rows.
    void DBGrid1DblClick();
    // The address of the grid's current row; empty when there is none.
    QString chosenAddress() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
