// Song lists: the archive's bytes, the song-list dialog (adding, measuring, saving, the
// refusals and failed saves that keep what was there, closing), the song-list tab and the
// programme editor's list chooser, and the play list reading back what a save wrote.
#include "editor_fixture.h"
#include "editors/song_list_archive.h"
#include "editors/song_list_chooser.h"
#include "editors/song_list_tab.h"
#include "editors/song_selection.h"
#include "scheduler/dbhouse_schedule.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <thread>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(SongListArchive, LengthFieldIsPaddedWithA)
{
    EXPECT_EQ(songListLengthField(7), QByteArray("7aaa"));
    EXPECT_EQ(songListLengthField(13), QByteArray("13aa"));
    EXPECT_EQ(songListLengthField(123), QByteArray("123a"));
    EXPECT_EQ(songListLengthField(9999), QByteArray("9999"));
    EXPECT_TRUE(songListLengthField(10000).isEmpty());
}

class SongListTest : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        hooks.chooseFiles = [this](QWidget *, const QString &) { return chosenFiles; };
        hooks.chooseSavePath = [this](QWidget *, const QString &, const QString &) { return savePath; };
    }

    // Opens the dialog on the working table as the tab does.
    std::unique_ptr<TFormxzgqlb> openDialog()
    {
        TQuery *q = dbhouse().qgqmx;
        q->close();
        q->setSql(QStringLiteral("select * from b_gqlbmx order by iid "));
        q->open();
        return std::make_unique<TFormxzgqlb>(nullptr, hooks);
    }

    // "wjpath wjmc zsc" of the saved rows of a list, in iid order.
    QStringList savedRows(const QString &lbmc)
    {
        QStringList rows;
        QSqlQuery q(QSqlDatabase::database(dbhouse().connectionName()));
        q.prepare(QStringLiteral("select wjpath,wjmc,zsc from b_gqlbmxbak where lbmc=? order by iid"));
        q.addBindValue(lbmc);
        q.exec();
        while (q.next())
            rows.append(q.value(0).toString() + QLatin1Char(' ') + q.value(1).toString() + QLatin1Char(' ')
                        + q.value(2).toString());
        return rows;
    }

    QStringList scratchDurations()
    {
        QStringList rows;
        QSqlQuery q(QSqlDatabase::database(dbhouse().connectionName()));
        q.exec(QStringLiteral("select zsc from b_gqlbmx order by iid"));
        while (q.next())
            rows.append(q.value(0).toString());
        return rows;
    }

    qint64 scratchCount() { return scalar(QStringLiteral("select count(*) from b_gqlbmx")).toLongLong(); }

    // Makes and saves a list of `files` at `target`, answering "No" to "continue?".
    void saveList(const QStringList &files, const QString &target)
    {
        auto dialog = openDialog();
        dialog->addSongs(files);
        savePath = target;
        boxes.answers.push_back(false);
        ASSERT_TRUE(dialog->BitBtn4Click()) << boxes.shown.join(QLatin1Char('|')).toStdString();
    }

    SongSelectionHooks hooks;
    QStringList chosenFiles;
    QString savePath;
};

TEST_F(SongListTest, ArchiveOfOneThreeByteSongIsTheTwentyBytesOfTheExample)
{
    writeFile(QStringLiteral("m/x.mp3"), "abc");
    ASSERT_TRUE(writeSongListArchive(path(QStringLiteral("l.qk")), {path(QStringLiteral("m/x.mp3"))}, nullptr));
    EXPECT_EQ(readFile(QStringLiteral("l.qk")), QByteArray("13aa1\r\nx.mp3\r\n3\r\nabc"));
    EXPECT_EQ(readFile(QStringLiteral("l.qk")).size(), 20);
}

TEST_F(SongListTest, DialogSavesTwoSongsFromTwoFoldersUnderOneNameByteForByte)
{
    const QString a = writeWav(QStringLiteral("one/铃 声's.wav"), 1000);
    const QString b = writeWav(QStringLiteral("two/铃 声's.wav"), 2000);
    const QString target = path(QStringLiteral("lists/早操 \"A\".qk"));
    QDir().mkpath(path(QStringLiteral("lists")));
    auto dialog = openDialog();
    dialog->addSongs({a, b});
    EXPECT_EQ(dialog->sb1Panel2->text(), QStringLiteral("2"));
    EXPECT_EQ(scratchDurations(), (QStringList{QStringLiteral("00:00:01"), QStringLiteral("00:00:02")}));

    savePath = target;
    boxes.answers.push_back(false);
    ASSERT_TRUE(dialog->BitBtn4Click());
    const QByteArray name = QStringLiteral("铃 声's.wav").toUtf8();
    const QByteArray header = "2\r\n" + name + "\r\n16044\r\n" + name + "\r\n32044\r\n";
    const QByteArray expected =
        QByteArray::number(header.size()).leftJustified(4, 'a') + header + fileBytes(a) + fileBytes(b);
    EXPECT_EQ(fileBytes(target), expected);
    EXPECT_EQ(savedRows(target),
              (QStringList{a + QStringLiteral(" 铃 声's.wav 00:00:03"), b + QStringLiteral(" 铃 声's.wav 00:00:03")}));
    EXPECT_EQ(boxes.questions.last(), QStringLiteral("询问|保存成功，要继续添加歌列表吗？"));
    EXPECT_EQ(scratchCount(), 0);
    EXPECT_FALSE(dialog->isVisible());
    // The list the tab shows was re-opened with the new name.
    EXPECT_EQ(dbhouse().qgqlbhz->recordCount(), 1);
    // The play list of a programme of kind "2" reads the songs back in list order.
    DbhouseScheduleStore store(dbhouse());
    EXPECT_EQ(store.songListPaths(target), (QStringList{a, b}));
}

TEST_F(SongListTest, SavingAgainUnderTheSamePathReplacesTheList)
{
    const QString a = writeWav(QStringLiteral("a.wav"), 1000);
    const QString b = writeWav(QStringLiteral("b.wav"), 1000);
    const QString c = writeWav(QStringLiteral("c.wav"), 3000);
    const QString target = path(QStringLiteral("l.qk"));
    saveList({a, b}, target);
    saveList({c}, target);
    EXPECT_EQ(savedRows(target), QStringList{c + QStringLiteral(" c.wav 00:00:03")});
    const QByteArray header = "1\r\nc.wav\r\n" + QByteArray::number(fileBytes(c).size()) + "\r\n";
    EXPECT_EQ(fileBytes(target), QByteArray::number(header.size()).leftJustified(4, 'a') + header + fileBytes(c));
    EXPECT_TRUE(QDir(home()).entryList({QStringLiteral("l.qk.*")}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(SongListTest, ATotalOfTwentyFiveHoursIsStoredAsATimeOfDay)
{
    hooks.measure = [](const QString &) { return 5 * 3600; };
    QStringList files;
    for (int i = 0; i < 5; ++i)
        files.append(writeWav(QStringLiteral("s%1.wav").arg(i), 10));
    saveList(files, path(QStringLiteral("day.qk")));
    const QStringList rows = savedRows(path(QStringLiteral("day.qk")));
    ASSERT_EQ(rows.size(), 5);
    for (const QString &row : rows)
        EXPECT_TRUE(row.endsWith(QStringLiteral(" 01:00:00"))) << row.toStdString();
}

TEST_F(SongListTest, AddingSkipsSongsThatCannotBeMeasuredAndSaysHowMany)
{
    writeFile(QStringLiteral("bad.mp3"), "not audio");
    const QString good = writeWav(QStringLiteral("good.wav"), 1000);
    auto dialog = openDialog();
    dialog->addSongs({path(QStringLiteral("bad.mp3")), good, path(QStringLiteral("gone.wav"))});
    EXPECT_EQ(dbhouse().qgqmx->recordCount(), 1);
    EXPECT_EQ(dialog->sb1Panel2->text(), QStringLiteral("1"));
    EXPECT_EQ(dialog->sb1Note->text(), QStringLiteral("2 首歌曲无法读取，已跳过"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(SongListTest, AHeaderPastTheLengthFieldIsRefusedBeforeAnythingIsWritten)
{
    QStringList files;
    const QString stem = QString(60, QLatin1Char('n'));
    for (int i = 0; i < 200; ++i) {
        const QString relative = QStringLiteral("many/%1%2.mp3").arg(stem).arg(i, 3, 10, QLatin1Char('0'));
        writeFile(relative, "x");
        files.append(path(relative));
    }
    hooks.measure = [](const QString &) { return 1; };
    auto dialog = openDialog();
    dialog->addSongs(files);
    savePath = path(QStringLiteral("big.qk"));
    EXPECT_FALSE(dialog->BitBtn4Click());
    // "200" CR LF, then 72 bytes a song ("nn…nnn000.mp3" CR LF "1" CR LF): 138 fit in 9999.
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("歌曲太多，列表文件最多能保存约 138 首歌曲！")});
    EXPECT_FALSE(QFile::exists(savePath));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from b_gqlbmxbak")).toInt(), 0);
    EXPECT_EQ(scratchCount(), 200);
}

// A save that fails leaves the archive and the rows saved earlier under that name, and no
// temporary file beside them.
TEST_F(SongListTest, AFailedSaveKeepsTheOldArchiveAndRows)
{
    const QString a = writeWav(QStringLiteral("a.wav"), 1000);
    const QString target = path(QStringLiteral("keep.qk"));
    saveList({a}, target);
    const QByteArray before = fileBytes(target);
    const QStringList rows = savedRows(target);

    struct Case
    {
        const char *what;
        std::function<void(TFormxzgqlb &)> spoil;
        QString target;
        const char *message;
    };
    const QString big = writeWav(QStringLiteral("big.wav"), 8000); // 128 KB
    const Case cases[] = {
        {"a song deleted after it was added", [this](TFormxzgqlb &) { QFile::remove(path(QStringLiteral("b.wav"))); },
         target, "以下歌曲文件已找不到"},
        {"a folder that was removed", [](TFormxzgqlb &) {}, path(QStringLiteral("gone/keep.qk")), "列表没有保存"},
        {"a full disk",
         [](TFormxzgqlb &) {
             std::signal(SIGXFSZ, SIG_IGN);
             rlimit limit{64 * 1024, RLIM_INFINITY};
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         target, "无法写入列表文件"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        boxes.shown.clear();
        auto dialog = openDialog();
        dialog->addSongs({writeWav(QStringLiteral("b.wav"), 1000), big});
        c.spoil(*dialog);
        savePath = c.target;
        const bool saved = dialog->BitBtn4Click();
        rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_FALSE(saved);
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_TRUE(boxes.shown[0].contains(QString::fromUtf8(c.message))) << boxes.shown[0].toStdString();
        EXPECT_EQ(fileBytes(target), before);
        EXPECT_EQ(savedRows(target), rows);
        EXPECT_EQ(QDir(home()).entryList({QStringLiteral("keep.qk*")}, QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("keep.qk")});
        EXPECT_EQ(scratchCount(), 2); // the working list is kept for another try
    }
}

// A song that shrinks while it is copied: the writer names it and leaves nothing behind.
TEST_F(SongListTest, ASongThatCannotBeReadWholeIsNamed)
{
    writeFile(QStringLiteral("old.qk"), "old");
    writeFile(QStringLiteral("first.mp3"), QByteArray(3 << 20, 'a'));
    writeFile(QStringLiteral("second.mp3"), QByteArray(1000, 'b'));
    QString error;
    bool cut = false;
    const bool ok = writeSongListArchive(path(QStringLiteral("old.qk")),
                                         {path(QStringLiteral("first.mp3")), path(QStringLiteral("second.mp3"))},
                                         &error, nullptr, [&](qint64, qint64) {
                                             if (!cut)
                                                 QFile::resize(path(QStringLiteral("second.mp3")), 10);
                                             cut = true;
                                         });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(error.contains(QStringLiteral("second.mp3"))) << error.toStdString();
    EXPECT_EQ(readFile(QStringLiteral("old.qk")), QByteArray("old"));
    EXPECT_EQ(QDir(home()).entryList({QStringLiteral("old.qk*")}, QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.qk")});
}

// The saved name always carries "qk" in its extension, which is how a programme knows a
// song list; a song of the list is never overwritten by its own archive.
TEST_F(SongListTest, TheSavedNameIsASongListPathAndNeverASongOfTheList)
{
    const QString a = writeWav(QStringLiteral("a.wav"), 1000);
    const std::pair<QString, QString> names[] = {
        {path(QStringLiteral("morning")), path(QStringLiteral("morning.qk"))},
        {path(QStringLiteral("morning.mp3")), path(QStringLiteral("morning.mp3.qk"))},
        {path(QStringLiteral("morning.QK")), path(QStringLiteral("morning.QK"))},
    };
    for (const auto &[chosen, saved] : names) {
        SCOPED_TRACE(chosen.toStdString());
        saveList({a}, chosen);
        EXPECT_EQ(savedRows(saved).size(), 1);
    }
    hooks.measure = [](const QString &) { return 1; };
    writeFile(QStringLiteral("odd.qk"), "a song named like a list");
    auto dialog = openDialog();
    dialog->addSongs({path(QStringLiteral("odd.qk"))});
    savePath = path(QStringLiteral("odd.qk"));
    boxes.shown.clear();
    EXPECT_FALSE(dialog->BitBtn4Click());
    EXPECT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(readFile(QStringLiteral("odd.qk")), QByteArray("a song named like a list"));
}

TEST_F(SongListTest, ACancelledSaveLeavesTheOldArchive)
{
    writeFile(QStringLiteral("old.qk"), "old");
    writeFile(QStringLiteral("first.mp3"), QByteArray(3 << 20, 'a'));
    std::atomic<bool> cancel{false};
    QString error;
    EXPECT_FALSE(writeSongListArchive(path(QStringLiteral("old.qk")), {path(QStringLiteral("first.mp3"))}, &error,
                                      &cancel, [&](qint64, qint64) { cancel.store(true); }));
    EXPECT_EQ(readFile(QStringLiteral("old.qk")), QByteArray("old"));
    EXPECT_EQ(QDir(home()).entryList({QStringLiteral("old.qk*")}, QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.qk")});
}

// Closing while songs are still being measured stops the measurement, adds none of them
// and closes once it has stopped, with the working list empty.
TEST_F(SongListTest, ClosingWhileSongsAreMeasuredStopsAndEmptiesTheList)
{
    std::atomic<int> measured{0};
    hooks.measure = [&](const QString &) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a slow file
        ++measured;
        return 1;
    };
    QStringList files;
    for (int i = 0; i < 200; ++i)
        files.append(path(QStringLiteral("s%1.wav").arg(i)));
    auto dialog = openDialog();
    dialog->show();
    QObject::connect(dialog->pgWork, &QProgressBar::valueChanged, dialog.get(), [&](int done) {
        if (done == 2) {
            EXPECT_TRUE(dialog->busy());
            EXPECT_FALSE(dialog->BitBtn4->isEnabled());
            dialog->close();
        }
    });
    dialog->addSongs(files);
    EXPECT_FALSE(dialog->busy());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_LT(measured.load(), 200);
    EXPECT_EQ(scratchCount(), 0);
}

TEST_F(SongListTest, EveryWayOfClosingEmptiesTheWorkingList)
{
    const QString a = writeWav(QStringLiteral("a.wav"), 1000);
    const std::pair<const char *, std::function<void(TFormxzgqlb &)>> ways[] = {
        {"返回", [](TFormxzgqlb &d) { d.BitBtn5Click(); }},
        {"the window's close button", [](TFormxzgqlb &d) { d.close(); }},
        {"Escape", [](TFormxzgqlb &d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"destroyed while open", [](TFormxzgqlb &) {}},
    };
    for (const auto &[what, close] : ways) {
        SCOPED_TRACE(what);
        auto dialog = openDialog();
        dialog->show();
        dialog->addSongs({a});
        ASSERT_EQ(scratchCount(), 1);
        close(*dialog);
        dialog.reset();
        EXPECT_EQ(scratchCount(), 0);
    }
}

TEST_F(SongListTest, ClearAllAndDeleteOneAskFirst)
{
    const QString a = writeWav(QStringLiteral("a.wav"), 1000);
    const QString b = writeWav(QStringLiteral("b.wav"), 1000);
    auto dialog = openDialog();
    dialog->addSongs({a, b});
    boxes.answers = {false, true};
    dialog->BitBtn3Click();
    EXPECT_EQ(scratchCount(), 2);
    dialog->BitBtn3Click(); // the current row is the first
    EXPECT_EQ(scalar(QStringLiteral("select wjmc from b_gqlbmx")).toString(), QStringLiteral("b.wav"));
    EXPECT_EQ(dialog->sb1Panel2->text(), QStringLiteral("1"));
    boxes.answers = {false, true};
    dialog->BitBtn2Click();
    EXPECT_EQ(scratchCount(), 1);
    dialog->BitBtn2Click();
    EXPECT_EQ(scratchCount(), 0);
    EXPECT_TRUE(dialog->sb1Panel2->text().isEmpty());
    EXPECT_EQ(boxes.questions,
              (QStringList{QStringLiteral("询问|您确定要删除选择的一条记录吗？"),
                           QStringLiteral("询问|您确定要删除选择的一条记录吗？"),
                           QStringLiteral("询问|您确定要清除全部吗？"), QStringLiteral("询问|您确定要清除全部吗？")}));
    // An empty list saves nothing and asks nothing.
    savePath = path(QStringLiteral("empty.qk"));
    EXPECT_FALSE(dialog->BitBtn4Click());
    EXPECT_FALSE(QFile::exists(savePath));
    EXPECT_EQ(boxes.questions.size(), 4);
}

class SongListTabTest : public SongListTest
{
protected:
    void SetUp() override
    {
        SongListTest::SetUp();
        page = std::make_unique<QWidget>();
        SongListTabContext context;
        context.tab = page.get();
        context.dialogHooks = hooks;
        context.showDialog = [this](TFormxzgqlb &d) {
            if (drive)
                drive(d);
        };
        tab = std::make_unique<SongListTab>(std::move(context));
    }
    void TearDown() override
    {
        tab.reset();
        page.reset();
        SongListTest::TearDown();
    }

    std::unique_ptr<QWidget> page;
    std::unique_ptr<SongListTab> tab;
    std::function<void(TFormxzgqlb &)> drive;
};

TEST_F(SongListTabTest, ShowsListsAndTheirSongsByName)
{
    tab->load();
    tab->DBGrid1CellClick();
    tab->BitBtn13Click();
    tab->BitBtn14Click();
    tab->BitBtn15Click();
    EXPECT_TRUE(boxes.questions.isEmpty()); // nothing to act on

    const QString z = writeWav(QStringLiteral("one/z.wav"), 1000);
    const QString a1 = writeWav(QStringLiteral("one/a.wav"), 1000);
    const QString a2 = writeWav(QStringLiteral("two/a.wav"), 1000);
    saveList({z, a1, a2}, path(QStringLiteral("b.qk")));
    saveList({z}, path(QStringLiteral("a.qk")));
    tab->load();
    ASSERT_EQ(dbhouse().qgqlbhz->recordCount(), 2);
    EXPECT_EQ(tab->DBGrid1->model()->data(tab->DBGrid1->model()->index(0, 0)).toString(), path(QStringLiteral("a.qk")));
    dbhouse().qgqlbhz->moveTo(1);
    tab->DBGrid1CellClick();
    EXPECT_EQ(tab->Memo1->toPlainText(), QStringLiteral("a.wav\na.wav\nz.wav"));
}

TEST_F(SongListTabTest, DeletingAListInUseNamesItsTimetables)
{
    const QString a = writeWav(QStringLiteral("a.wav"), 1000);
    const QString list = path(QStringLiteral("l.qk"));
    saveList({a}, list);
    exec(QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz) "
                        "values('冬季','早操','08:00:00','08:10:00','%1','00:00:01',80,'顺序播放','未播放','2')")
             .arg(list));
    tab->load();
    tab->DBGrid1CellClick();
    boxes.questions.clear();
    boxes.answers = {false};
    tab->BitBtn14Click();
    ASSERT_EQ(boxes.questions.size(), 1);
    EXPECT_TRUE(boxes.questions[0].contains(QStringLiteral("冬季"))) << boxes.questions[0].toStdString();
    EXPECT_EQ(savedRows(list).size(), 1);
    EXPECT_TRUE(QFile::exists(list));

    boxes.answers = {true};
    tab->BitBtn14Click();
    EXPECT_TRUE(savedRows(list).isEmpty());
    EXPECT_FALSE(QFile::exists(list));
    EXPECT_TRUE(tab->Memo1->toPlainText().isEmpty());
    EXPECT_EQ(dbhouse().qgqlbhz->recordCount(), 0);
}

TEST_F(SongListTabTest, ClearAllKeepsTheArchives)
{
    const QString a = writeWav(QStringLiteral("a.wav"), 1000);
    saveList({a}, path(QStringLiteral("1.qk")));
    saveList({a}, path(QStringLiteral("2.qk")));
    tab->load();
    boxes.answers = {false, true};
    tab->BitBtn15Click();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from b_gqlbmxbak")).toInt(), 2);
    tab->BitBtn15Click();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from b_gqlbmxbak")).toInt(), 0);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("1.qk"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("2.qk"))));
    EXPECT_EQ(boxes.questions.last(), QStringLiteral("询问|您确定要清除全部记录吗？"));
}

// An opened list gets each song's own length back, so a save adds real lengths; a song
// whose file is gone shows 00:00:00 and is named once.
TEST_F(SongListTabTest, OpenEditSaveKeepsEachSongsLength)
{
    const QString one = writeWav(QStringLiteral("one.wav"), 1000);
    const QString two = writeWav(QStringLiteral("two.wav"), 2000);
    const QString gone = writeWav(QStringLiteral("gone.wav"), 5000);
    const QString four = writeWav(QStringLiteral("four.wav"), 4000);
    const QString list = path(QStringLiteral("l.qk"));
    saveList({one, two, gone}, list);
    QFile::remove(gone);
    tab->load();
    boxes.shown.clear();
    drive = [&](TFormxzgqlb &d) {
        d.FormShow();
        EXPECT_EQ(scratchDurations(),
                  (QStringList{QStringLiteral("00:00:01"), QStringLiteral("00:00:02"), QStringLiteral("00:00:00")}));
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_TRUE(boxes.shown[0].contains(gone));
        dbhouse().qgqmx->moveTo(2);
        boxes.answers = {true};
        d.BitBtn3Click();
        d.addSongs({four});
        savePath = list;
        boxes.answers = {false};
        EXPECT_TRUE(d.BitBtn4Click());
    };
    tab->BitBtn13Click();
    EXPECT_EQ(savedRows(list),
              (QStringList{one + QStringLiteral(" one.wav 00:00:07"), two + QStringLiteral(" two.wav 00:00:07"),
                           four + QStringLiteral(" four.wav 00:00:07")}));
    EXPECT_EQ(scratchCount(), 0);
}

TEST_F(SongListTabTest, OpeningAndClosingWithoutSavingLeavesTheListAlone)
{
    const QString one = writeWav(QStringLiteral("one.wav"), 1000);
    const QString list = path(QStringLiteral("l.qk"));
    saveList({one}, list);
    const QByteArray archive = fileBytes(list);
    tab->load();
    drive = [](TFormxzgqlb &d) {
        d.FormShow();
        d.BitBtn5Click();
    };
    tab->BitBtn13Click();
    EXPECT_EQ(savedRows(list), QStringList{one + QStringLiteral(" one.wav 00:00:01")});
    EXPECT_EQ(fileBytes(list), archive);
    EXPECT_EQ(scratchCount(), 0);
}

TEST_F(SongListTest, TheProgrammeEditorsChooserMakesAndPicksAList)
{
    const QString one = writeWav(QStringLiteral("one.wav"), 1000);
    saveList({one}, path(QStringLiteral("old.qk")));
    SongListChooser chooser(nullptr, hooks);
    ASSERT_EQ(chooser.lbLists->count(), 1);
    EXPECT_EQ(chooser.mmSongs->toPlainText(), QStringLiteral("one.wav"));
    chooser.showDialog = [&](TFormxzgqlb &d) {
        d.addSongs({one, one});
        savePath = path(QStringLiteral("new.qk"));
        boxes.answers = {false};
        d.BitBtn4Click();
    };
    chooser.btnNewClick();
    EXPECT_EQ(chooser.chosen(), path(QStringLiteral("new.qk")));
    EXPECT_EQ(chooser.mmSongs->toPlainText(), QStringLiteral("one.wav\none.wav"));
}

} // namespace
