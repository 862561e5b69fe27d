#include "windows/control_window.h"

#include "player/system_volume.h"
#include "tests/windows/windows_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

namespace {

class ControlWindow : public WindowsTest
{
protected:
    void SetUp() override
    {
        WindowsTest::SetUp();
        form = std::make_unique<TForm2>();
        form->setPlayer(player.get());
        form->setUrlOpener([this](const QUrl &url) {
            opened.append(url.toString());
            return true;
        });
        form->setSettingsStarter([this](SettingsPanel panel) {
            settings.append(panel);
            return true;
        });
        form->setCdTray([this](CdTrayCommand command) {
            tray.append(command);
            return false;
        });
    }
    void TearDown() override
    {
        form.reset();
        ProcessVolume::instance().setWord(0xFFFFFFFFu);
        WindowsTest::TearDown();
    }

    std::unique_ptr<TForm2> form;
    QStringList opened;
    QList<SettingsPanel> settings;
    QList<CdTrayCommand> tray;
};

TEST_F(ControlWindow, ChannelSliderSendsTheLevelToTheChannelsItsPositionSelects)
{
    struct Case
    {
        int position;
        quint16 left;
        quint16 right;
    };
    const Case cases[] = {{1, 60000, 0}, {12, 5000, 0}, {13, 65000, 65000}, {14, 0, 5000}, {26, 0, 65000}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.position);
        ProcessVolume::instance().setWord(0x12341234u);
        form->TrackBar1->setValue(c.position);
        form->TrackBar1Change();
        EXPECT_EQ(leftLevel(ProcessVolume::instance().word()), c.left);
        EXPECT_EQ(rightLevel(ProcessVolume::instance().word()), c.right);
    }
}

TEST_F(ControlWindow, RandomTogglesAndTheSwitchesFollowThePlayer)
{
    // As designed: nothing checked until a mode is set.
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->RadioButton1->isChecked());
    EXPECT_FALSE(form->RadioButton2->isChecked());

    // The scheduler switched random on; "随机播放" then switches it off.
    player->setRandomMode(true);
    EXPECT_TRUE(form->RadioButton2->isChecked());
    QTest::mouseClick(form->RadioButton2, Qt::LeftButton);
    EXPECT_FALSE(player->randomMode());
    EXPECT_FALSE(form->RadioButton2->isChecked());
    EXPECT_TRUE(form->RadioButton1->isChecked());
    QTest::mouseClick(form->RadioButton2, Qt::LeftButton);
    EXPECT_TRUE(player->randomMode());
    EXPECT_TRUE(form->RadioButton2->isChecked());
    EXPECT_FALSE(form->RadioButton1->isChecked());
    QTest::mouseClick(form->RadioButton1, Qt::LeftButton);
    EXPECT_FALSE(player->randomMode());
    QTest::mouseClick(form->RadioButton1, Qt::LeftButton);
    EXPECT_FALSE(player->randomMode());
    EXPECT_TRUE(form->RadioButton1->isChecked());

    QTest::mouseClick(form->CheckBox1, Qt::LeftButton);
    EXPECT_TRUE(player->loopMode());
    // A programme's play mode turns looping off: the box follows.
    player->setLoopMode(false);
    EXPECT_FALSE(form->CheckBox1->isChecked());
}

TEST_F(ControlWindow, CompactModeSwapsTheMainWindowAndTheCompactWindow)
{
    QWidget main;
    QWidget compact;
    form->setAnchor(&main);
    form->setCompactWindow(&compact);
    main.show();

    QTest::mouseClick(form->CheckBox2, Qt::LeftButton);
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(compact.isVisible());
    QTest::mouseClick(form->CheckBox2, Qt::LeftButton);
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(compact.isVisible());

    // The compact window's own way back clears the box.
    QTest::mouseClick(form->CheckBox2, Qt::LeftButton);
    form->compactModeEnded();
    EXPECT_FALSE(form->CheckBox2->isChecked());
}

TEST_F(ControlWindow, CommandsGoToTheDesktopAndTheTray)
{
    QTest::mouseClick(form->RadioButton3, Qt::LeftButton);
    QTest::mouseClick(form->RadioButton4, Qt::LeftButton);
    EXPECT_EQ(tray, (QList<CdTrayCommand>{CdTrayCommand::Open, CdTrayCommand::Close}));
    // A drive that refused shows nothing.
    EXPECT_TRUE(boxes.shown.isEmpty());

    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(settings, (QList<SettingsPanel>{SettingsPanel::Sound, SettingsPanel::Display}));

    EXPECT_EQ(form->http->text(), QLatin1String(kControlWebAddress));
    form->http->clear();
    QTest::keyClick(form->http, Qt::Key_Return);
    EXPECT_TRUE(opened.isEmpty());
    form->http->setText(QStringLiteral("example.org/bells"));
    QTest::keyClick(form->http, Qt::Key_Return);
    form->Label3Click();
    EXPECT_EQ(opened, (QStringList{QStringLiteral("http://example.org/bells"),
                                   QStringLiteral("mailto:%1").arg(QLatin1String(kControlContactAddress))}));
}

TEST_F(ControlWindow, ShownBesideTheMainWindowAtItsFixedSize)
{
    QWidget main;
    main.setGeometry(100, 50, 600, 400);
    form->setAnchor(&main);
    form->show();
    EXPECT_EQ(form->pos(), QPoint(382, 50));
    EXPECT_EQ(form->minimumSize(), QSize(370, 228));
    EXPECT_EQ(form->maximumSize(), QSize(370, 228));
    // The picture is missing: only the background shows.
    EXPECT_TRUE(form->WebBrowser1->pixmap().isNull());
}

} // namespace
