#include "app/tray_notify_icon.h"
#include "support/program_test.h"

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

class TrayIconTest : public ::testing::Test
{
protected:
    void SetUp() override { ensureTestApplication(); }
};

TEST_F(TrayIconTest, LongHintIsCutInTheTooltipOnly)
{
    TTrayNotifyIcon icon;
    const QString hint = QString(70, QLatin1Char('x')) + QStringLiteral("尾");
    icon.setHint(hint);
    icon.setIconVisible(true);
    EXPECT_EQ(icon.hint(), hint);
    EXPECT_EQ(icon.shownToolTip(), QString(63, QLatin1Char('x')));
    EXPECT_EQ(icon.systemTrayIcon()->toolTip(), QString(63, QLatin1Char('x')));
    icon.setHint(QStringLiteral("Bellwright"));
    EXPECT_EQ(icon.systemTrayIcon()->toolTip(), QStringLiteral("Bellwright"));
}

TEST_F(TrayIconTest, IconWithoutImageShowsTheFallbackAndMenuIsForgottenWhenDestroyed)
{
    TTrayNotifyIcon icon;
    EXPECT_TRUE(icon.icon().isNull());
    EXPECT_FALSE(icon.shownIcon().isNull());

    auto *menu = new QMenu;
    icon.setPopupMenu(menu);
    EXPECT_EQ(icon.popupMenu(), menu);
    EXPECT_EQ(icon.systemTrayIcon()->contextMenu(), menu);
    delete menu;
    EXPECT_EQ(icon.popupMenu(), nullptr);

    icon.setIconVisible(true);
    EXPECT_TRUE(icon.iconVisible());
    icon.setIconVisible(false);
    EXPECT_FALSE(icon.iconVisible());
}

TEST_F(TrayIconTest, SingleClickComesOneDoubleClickTimeLateAndNeverBeforeADoubleClick)
{
    TTrayNotifyIcon icon;
    QSignalSpy clicks(&icon, &TTrayNotifyIcon::OnClick);
    QSignalSpy doubles(&icon, &TTrayNotifyIcon::OnDblClick);
    // Connected after the icon's own handler: when the spy sees the timeout, the icon has
    // already reported or dropped the held-back click.
    QSignalSpy settled(icon.clickTimer(), &QTimer::timeout);
    EXPECT_EQ(icon.clickTimer()->interval(), QApplication::doubleClickInterval());
    constexpr int kBound = 10000; // only bounds a failure

    // A double click: the first press, then the double click within the interval.
    Q_EMIT icon.systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    Q_EMIT icon.systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(doubles.count(), 1);
    ASSERT_TRUE(settled.wait(kBound));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(doubles.count(), 1);

    // A single click is held back for the double-click time, then reported once.
    Q_EMIT icon.systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(icon.clickTimer()->isActive());
    ASSERT_TRUE(clicks.wait(kBound));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(settled.count(), 2);

    // A double click reported without its first press must not swallow the next click.
    Q_EMIT icon.systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    Q_EMIT icon.systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    ASSERT_TRUE(clicks.wait(kBound));
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(doubles.count(), 2);
}

} // namespace
