#include "app/main_window.h"
#include "core/named_widget.h"

#include "core/clock.h"
#include "db/db_grid.h"
#include "core/message_box.h"
#include "core/settings.h"
#include "core/time_helpers.h"
#include "app/tray_notify_icon.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QIcon programIcon()
{
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1e, 0x90, 0xff));
    p.setPen(Qt::NoPen);
    p.drawEllipse(4, 4, 56, 56);
    p.setBrush(QColor(0xff, 0xd7, 0x00));
    p.drawPie(16, 14, 32, 40, 0, 180 * 16);
    p.drawRect(16, 33, 32, 8);
    p.drawEllipse(28, 42, 8, 8);
    return QIcon(pm);
}

QAction *addItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QAction *addSeparator(QMenu *menu, const char *name)
{
    QAction *a = menu->addSeparator();
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QTimer *makeTimer(QObject *owner, const char *name, int intervalMs)
{
    auto *t = new QTimer(owner);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(intervalMs);
    return t;
}

QWidget *makeTab(QTabWidget *pages, const char *name, const QString &caption)
{
    auto *w = new QWidget(pages);
    w->setObjectName(QString::fromLatin1(name));
    pages->addTab(w, caption);
    return w;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text = {})
{
    return named(new QLabel(text, parent), name);
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text)
{
    return named(new QPushButton(text, parent), name);
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Bellwright"));
    setWindowIcon(programIcon());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xb0, 0xe0, 0xff));
    setPalette(pal);
    QFont f = font();
    f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
    f.setPixelSize(12);
    setFont(f);
    resize(1015, 679);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    pg1 = new QTabWidget(this);
    pg1->setObjectName(QStringLiteral("pg1"));
    setCentralWidget(pg1);
    TabSheet1 = makeTab(pg1, "TabSheet1", QStringLiteral("今日播放时间表"));
    TabSheet7 = makeTab(pg1, "TabSheet7", QStringLiteral("时间表编辑"));
    TabSheet2 = makeTab(pg1, "TabSheet2", QStringLiteral("歌曲列表编辑"));
    TabSheet3 = makeTab(pg1, "TabSheet3", QStringLiteral("时间表设置"));
    TabSheet4 = makeTab(pg1, "TabSheet4", QStringLiteral("系统设置"));
    TabSheet5 = makeTab(pg1, "TabSheet5", QStringLiteral("手工乐曲播放"));
    TabSheet6 = makeTab(pg1, "TabSheet6", QStringLiteral("帮助"));
    connect(pg1, &QTabWidget::currentChanged, this, [this] { pg1Change(); });

    buildTodayTab();
    buildMenus();
    createTimers();
    createTrayIcon();
}

TForm1::~TForm1()
{
    TrayNotifyIcon1->setIconVisible(false);
}

void TForm1::setTabLoader(QWidget *tab, std::function<void()> load)
{
    tabLoaders_.insert(tab, std::move(load));
}

void TForm1::pg1Change()
{
    const auto it = tabLoaders_.constFind(pg1->currentWidget());
    if (it != tabLoaders_.constEnd() && *it)
        (*it)();
}

void TForm1::buildTodayTab()
{
    auto *header = new QWidget(TabSheet1);
    header->setObjectName(QStringLiteral("headerPanel"));
    lrq = makeLabel(header, "lrq");
    lrq->setStyleSheet(QStringLiteral("color: #00c0c0; font-weight: bold; font-size: 16px;"));
    lsj = makeLabel(header, "lsj");
    lsj->setStyleSheet(
        QStringLiteral("font-family: '黑体', 'WenQuanYi Micro Hei'; font-weight: bold; font-size: 35px;"));
    Label14 = makeLabel(header, "Label14", QStringLiteral("今天播放时间表:"));
    lsjb = makeLabel(header, "lsjb");
    lsjb->setStyleSheet(QStringLiteral("font-weight: bold;"));
    ljrts = makeLabel(header, "ljrts");
    ljrts->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    lfwqts = makeLabel(header, "lfwqts");
    lfwqts->setStyleSheet(QStringLiteral("color: #c06000; font-weight: bold;"));
    lfwqts->setVisible(false);
    Label27 = makeLabel(header, "Label27", QStringLiteral("提示：鼠标右键可以手动播放节目和停止节目"));
    BitBtn31 = makeButton(header, "BitBtn31", QStringLiteral("手工重导入时间表"));
    BitBtn27 = makeButton(header, "BitBtn27", QStringLiteral("数据更新到数据库"));
    BitBtn27->setVisible(false);
    BitBtn26 = makeButton(header, "BitBtn26", QStringLiteral("导入当前播放内容"));
    BitBtn26->setVisible(false);
    connect(BitBtn31, &QPushButton::clicked, this, &TForm1::BitBtn31Click);
    connect(BitBtn27, &QPushButton::clicked, this, &TForm1::BitBtn27Click);

    auto *top = new QHBoxLayout;
    top->addWidget(lrq);
    top->addStretch(1);
    top->addWidget(lsj);
    auto *line = new QHBoxLayout;
    line->addWidget(Label14);
    line->addWidget(lsjb);
    line->addSpacing(24);
    line->addWidget(ljrts);
    line->addStretch(1);
    line->addWidget(Label27);
    line->addWidget(BitBtn31);
    line->addWidget(BitBtn27);
    line->addWidget(BitBtn26);
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->addLayout(top);
    headerLayout->addLayout(line);
    headerLayout->addWidget(lfwqts);

    auto *split = new QSplitter(Qt::Horizontal, TabSheet1);
    DBGrid4 = new QTableView(split);
    DBGrid4->setObjectName(QStringLiteral("DBGrid4"));
    DBGrid4->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid4->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid4->setContextMenuPolicy(Qt::CustomContextMenu);
    playerPanel = new QWidget(split);
    playerPanel->setObjectName(QStringLiteral("playerPanel"));
    playerPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    split->addWidget(DBGrid4);
    split->addWidget(playerPanel);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto *layout = new QVBoxLayout(TabSheet1);
    layout->addWidget(header);
    layout->addWidget(split, 1);
}

void TForm1::buildMenus()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N3 = addItem(PopupMenu1, "N3", QStringLiteral("手动播放此节目"));
    N21 = addItem(PopupMenu1, "N21", QStringLiteral("停止手动播放节目"));
    N20 = addSeparator(PopupMenu1, "N20");
    N23 = addItem(PopupMenu1, "N23", QStringLiteral("人工插播音乐"));
    N22 = addSeparator(PopupMenu1, "N22");
    N25 = addItem(PopupMenu1, "N25", QStringLiteral("停止自动播放"));
    N13 = addSeparator(PopupMenu1, "N13");
    N5 = addItem(PopupMenu1, "N5", QStringLiteral("隐藏主界面到右下角"));
    N4 = addSeparator(PopupMenu1, "N4");
    N14 = addItem(PopupMenu1, "N14", QStringLiteral("退出"));
    connect(N5, &QAction::triggered, this, &TForm1::N5Click);
    connect(N14, &QAction::triggered, this, &TForm1::N14Click);
    auto popup = [this](QWidget *w) {
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { PopupMenu1->popup(w->mapToGlobal(pos)); });
    };
    popup(DBGrid4);
    popup(playerPanel);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    N2 = addItem(PopupMenu2, "N2", QStringLiteral("显示主界面"));
    MenuItem1 = addItem(PopupMenu2, "MenuItem1", QStringLiteral("隐藏到右下角"));
    N1 = addSeparator(PopupMenu2, "N1");
    N7 = addItem(PopupMenu2, "N7", QStringLiteral("退出"));
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);
    connect(MenuItem1, &QAction::triggered, this, &TForm1::MenuItem1Click);
    connect(N7, &QAction::triggered, this, &TForm1::N7Click);
}

void TForm1::createTimers()
{
    tsj = makeTimer(this, "tsj", 1000);
    Timer6 = makeTimer(this, "Timer6", 500);
    tsys = makeTimer(this, "tsys", 1000);
    tbf = makeTimer(this, "tbf", 1500);
    tdr = makeTimer(this, "tdr", 6000);
    tgj = makeTimer(this, "tgj", 5000);
    tjs = makeTimer(this, "tjs", 500);
    Timer1 = makeTimer(this, "Timer1", 1000);
    tfwq = makeTimer(this, "tfwq", 60000);
    connect(tsj, &QTimer::timeout, this, &TForm1::tsjTimer);
    connect(Timer6, &QTimer::timeout, this, &TForm1::Timer6Timer);
    connect(tsys, &QTimer::timeout, this, &TForm1::tsysTimer);
    connect(tdr, &QTimer::timeout, this, &TForm1::tdrTimer);
    connect(tfwq, &QTimer::timeout, this, &TForm1::tfwqTimer);
}

void TForm1::createTrayIcon()
{
    TrayNotifyIcon1 = new TTrayNotifyIcon(this);
    TrayNotifyIcon1->setObjectName(QStringLiteral("TrayNotifyIcon1"));
    TrayNotifyIcon1->setIcon(windowIcon());
    TrayNotifyIcon1->setHint(QStringLiteral("Bellwright"));
    TrayNotifyIcon1->setPopupMenu(PopupMenu2);
    TrayNotifyIcon1->setHideTask(true);
    TrayNotifyIcon1->setIconVisible(true);
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!firstShowDone_)
        FormShow();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    TrayNotifyIcon1->setIconVisible(false);
    for (QTimer *t : {tsj, Timer6, tsys, tbf, tdr, tgj, tjs, Timer1, tfwq})
        t->stop();
    QMainWindow::closeEvent(event);
    Q_EMIT closed();
}

void TForm1::tsjTimer()
{
    tsj->stop();
    showClock(appClock().now());
    tsj->start();
}

void TForm1::Timer6Timer()
{
    Timer6->stop();
    setWindowState(windowState() | Qt::WindowMaximized);
}

void TForm1::tsysTimer()
{
    tsys->stop();
    if (appSettings().strmin == QStringLiteral("1") && isVisible())
        hideToTray();
}

void TForm1::hideToTray()
{
    if (!isVisible())
        return;
    // Without a tray host the icon cannot bring the window back: keep it on screen.
    if (!TTrayNotifyIcon::trayAvailable() || !TrayNotifyIcon1->iconVisible()) {
        reportOnce(trayMissingReported_, QStringLiteral("桌面没有通知区域，主界面无法隐藏到右下角，将保持显示！"));
        return;
    }
    hide();
}

void TForm1::N5Click()
{
    hideToTray();
}

void TForm1::MenuItem1Click()
{
    hideToTray();
}

void TForm1::N2Click()
{
    if (!isVisible())
        show();
}

void TForm1::showFromOtherInstance()
{
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void TForm1::N14Click()
{
    close();
}

void TForm1::N7Click()
{
    close();
}

void TForm1::reportOnce(bool &reported, const QString &text)
{
    if (reported)
        return;
    reported = true;
    MessageBox::notice(this, text);
}

void TForm1::showClock(const QDateTime &now)
{
    lsj->setText(clockText(now.time()));
}

void TForm1::showDate(const QDate &today)
{
    lrq->setText(dateLabelText(today));
}
