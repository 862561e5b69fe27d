#include "windows/as_run_log_window.h"

#include "core/logging.h"
#include "core/message_box.h"
#include "core/program_folder.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <exception>

namespace {

const QColor problemColour(0xc0, 0x00, 0x00);

QString defaultExportPath(QWidget *parent, const QString &suggested)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("导出播放记录"), suggested,
                                        QStringLiteral("CSV 文件 (*.csv)"));
}

} // namespace

AsRunLogWindow::AsRunLogWindow(Context context, QWidget *parent)
    : QDialog(parent),
      c_(std::move(context))
{
    setObjectName(QStringLiteral("AsRunLogWindow"));
    setWindowTitle(QStringLiteral("播放记录"));
    if (!c_.chooseExportPath)
        c_.chooseExportPath = defaultExportPath;

    auto *dateLabel = new QLabel(QStringLiteral("日期:"), this);
    dateEdit = new QDateEdit(this);
    dateEdit->setObjectName(QStringLiteral("dateEdit"));
    dateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dateEdit->setCalendarPopup(true);
    dateLabel->setBuddy(dateEdit);
    dateEdit->setAccessibleName(QStringLiteral("日期"));
    problemsOnly = new QCheckBox(QStringLiteral("只看问题"), this);
    problemsOnly->setObjectName(QStringLiteral("problemsOnly"));
    checkButton = new QPushButton(QStringLiteral("检查明天的节目"), this);
    checkButton->setObjectName(QStringLiteral("checkButton"));
    exportButton = new QPushButton(QStringLiteral("导出CSV"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    closeButton = new QPushButton(QStringLiteral("关闭"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));

    logGrid = new QTableWidget(0, 8, this);
    logGrid->setObjectName(QStringLiteral("logGrid"));
    logGrid->setAccessibleName(QStringLiteral("播放记录"));
    logGrid->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("时间表"), QStringLiteral("节目"),
                                        QStringLiteral("开始时间"), QStringLiteral("事件"), QStringLiteral("播放内容"),
                                        QStringLiteral("项目数"), QStringLiteral("原因")});
    logGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    logGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    logGrid->verticalHeader()->hide();
    logGrid->horizontalHeader()->setStretchLastSection(true);
    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("summary"));

    auto *top = new QHBoxLayout;
    top->addWidget(dateLabel);
    top->addWidget(dateEdit);
    top->addWidget(problemsOnly);
    top->addStretch();
    top->addWidget(checkButton);
    top->addWidget(exportButton);
    top->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(logGrid, 1);
    layout->addWidget(summary);
    resize(900, 500);

    connect(dateEdit, &QDateEdit::dateChanged, this, &AsRunLogWindow::reload);
    connect(problemsOnly, &QCheckBox::toggled, this, &AsRunLogWindow::reload);
    connect(exportButton, &QPushButton::clicked, this, &AsRunLogWindow::exportButtonClick);
    connect(checkButton, &QPushButton::clicked, this, &AsRunLogWindow::checkButtonClick);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

void AsRunLogWindow::open()
{
    const QDate today = c_.today ? c_.today() : QDate::currentDate();
    if (dateEdit->date() == today)
        reload();
    else
        dateEdit->setDate(today); // reloads
    show();
    raise();
    activateWindow();
    Q_EMIT opened();
}

void AsRunLogWindow::reload()
{
    rows_.clear();
    QString error;
    try {
        rows_ = c_.log->day(dateEdit->date(), problemsOnly->isChecked());
    } catch (const std::exception &e) {
        error = QString::fromUtf8(e.what());
        qCWarning(lcWindows).noquote() << QStringLiteral("as-run log not read: %1").arg(error);
    }
    logGrid->setRowCount(static_cast<int>(rows_.size()));
    int problems = 0;
    for (int r = 0; r < rows_.size(); ++r) {
        const AsRunRecord &rec = rows_.at(r);
        const QStringList cells = {rec.at.time().toString(QStringLiteral("HH:mm:ss")),
                                   rec.sjmc,
                                   rec.jmmc,
                                   rec.kssj,
                                   rec.event,
                                   rec.content,
                                   rec.items < 0 ? QString() : QString::number(rec.items),
                                   rec.reason};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            if (rec.isProblem())
                item->setForeground(problemColour);
            logGrid->setItem(r, c, item);
        }
        if (rec.isProblem())
            ++problems;
    }
    logGrid->resizeColumnsToContents();
    if (!error.isEmpty())
        summary->setText(QStringLiteral("播放记录无法读取：%1").arg(error));
    else
        summary->setText(QStringLiteral("共%1条记录，其中%2个问题").arg(rows_.size()).arg(problems));
}

void AsRunLogWindow::exportButtonClick()
{
    const QString suggested = QDir::home().filePath(
        QStringLiteral("播放记录-%1.csv").arg(dateEdit->date().toString(QStringLiteral("yyyy-MM-dd"))));
    const QString path = c_.chooseExportPath(this, suggested);
    if (path.isEmpty())
        return;
    QString error;
    if (writeFileAtomically(path, AsRunLog::csv(rows_).toUtf8(), &error)) {
        qCInfo(lcWindows).noquote() << QStringLiteral("as-run log exported to %1").arg(path);
        MessageBox::information(this, QStringLiteral("播放记录已导出！"));
    } else {
        qCWarning(lcWindows).noquote() << QStringLiteral("as-run log not exported: %1").arg(error);
        MessageBox::information(this, QStringLiteral("播放记录无法导出：%1！").arg(error));
    }
}

void AsRunLogWindow::checkButtonClick()
{
    if (c_.runTomorrowCheck)
        c_.runTomorrowCheck();
    reload();
}

void FailedRowDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QAbstractItemModel *model = index.model();
    if (!model)
        return;
    for (int c = 0; c < model->columnCount(); ++c) {
        // The play-state column, by its field name or the title today's grid gives it.
        const QString title = model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        if (title == QStringLiteral("bfzt") || title == QStringLiteral("播放状态")) {
            if (model->index(index.row(), c).data().toString() == QStringLiteral("未能播放"))
                option->palette.setColor(QPalette::Text, problemColour);
            return;
        }
    }
}
