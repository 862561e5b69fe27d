// The programme editor: the checks of a save in screen order, the two mends (a window
// too short to play, overlapping programmes), the kind decisions, volumes, song lists,
// folder totals and the address picker.
#include "editor_fixture.h"
#include "editors/broadcast_address_query.h"
#include "editors/programme_editor.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>

#include <memory>

namespace {

class ProgrammeEditorTest : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        song = writeWav(QStringLiteral("m/song.wav"), 2500);
        ProgrammeEditorHooks hooks;
        hooks.chooseFile = [this](QWidget *, const QString &) { return chosenFile; };
        hooks.chooseFolder = [this](QWidget *, const QString &) { return chosenFolder; };
        hooks.chooseSongList = [this](QWidget *) { return chosenList; };
        hooks.execDialog = [this](QDialog &d) { return pick ? pick(d) : int(QDialog::Rejected); };
        programmeAddMode = true;
        openGrid();
        dialog = std::make_unique<TFormbjjm>(nullptr, hooks);
        dialog->Edit5->setText(QStringLiteral("T"));
        dialog->FormShow();
    }
    void TearDown() override
    {
        dialog.reset();
        EditorTest::TearDown();
    }

    void openGrid()
    {
        TQuery *q = dbhouse().qsjcx;
        q->close();
        q->setSql(QStringLiteral("select * from b_sjb where sjmc= :sjmc  order by sjmc,kssj "));
        q->setParam(QStringLiteral("sjmc"), QStringLiteral("T"));
        q->open();
    }

    // A complete programme that saves.
    void fillValid(const QString &name = QStringLiteral("铃声"), QTime start = QTime(8, 0), QTime end = QTime(8, 5))
    {
        dialog->Edit1->setText(name);
        dialog->dtp1->setTime(start);
        dialog->dtp2->setTime(end);
        dialog->Edit2->setText(song);
        dialog->Edit4->clear();
        dialog->ComboBox1->setCurrentIndex(0);
    }
    bool save(bool continueAdding = false)
    {
        boxes.answers.push_back(continueAdding);
        return dialog->BitBtn3Click();
    }
    QString column(const char *name, const QString &jmmc = QStringLiteral("铃声"))
    {
        return scalar(QStringLiteral("select %1 from b_sjb where jmmc='%2'").arg(QLatin1String(name), jmmc)).toString();
    }

    QString song;
    QString chosenFile, chosenFolder, chosenList;
    std::function<int(QDialog &)> pick;
    std::unique_ptr<TFormbjjm> dialog;
};

TEST_F(ProgrammeEditorTest, ChecksInScreenOrderWriteNothing)
{
    struct Case
    {
        const char *what;
        std::function<void(TFormbjjm &)> spoil;
        QString message;
    };
    const Case cases[] = {
        {"no name", [](TFormbjjm &d) { d.Edit1->clear(); }, QStringLiteral("节目名称不能为空！ ")},
        {"nothing to play", [](TFormbjjm &d) { d.Edit2->clear(); }, QStringLiteral("歌曲或文件夹不能为空！ ")},
        {"no play mode", [](TFormbjjm &d) { d.ComboBox1->setCurrentIndex(-1); }, QStringLiteral("播放方式不能为空！ ")},
        {"midnight start", [](TFormbjjm &d) { d.dtp1->setTime(QTime(0, 0)); }, QStringLiteral("开始时间要选择好！")},
        {"midnight end", [](TFormbjjm &d) { d.dtp2->setTime(QTime(0, 0)); }, QStringLiteral("结束时间要选择好！")},
        {"end before start", [](TFormbjjm &d) { d.dtp2->setTime(QTime(7, 0)); },
         QStringLiteral("结束时间必须晚于开始时间！")},
        {"window of 4 s", [](TFormbjjm &d) { d.dtp2->setTime(QTime(8, 0, 4)); },
         QStringLiteral("结束时间必须晚于开始时间！")},
        {"volume not a number", [](TFormbjjm &d) { d.Edit4->setText(QStringLiteral("响")); },
         QStringLiteral("音量“响”不是有效的数字！")},
        {"file gone", [](TFormbjjm &d) { d.Edit2->setText(QStringLiteral("/no/such/song.mp3")); },
         QStringLiteral("歌曲或文件夹不存在，请重新选择！")},
    };
    addProgramme(QStringLiteral("T"), QStringLiteral("铃声"), "07:00:00", "07:10:00");
    openGrid();
    for (const Case &c : cases) {
        boxes.shown.clear();
        fillValid();
        c.spoil(*dialog);
        EXPECT_FALSE(dialog->BitBtn3Click()) << c.what;
        EXPECT_EQ(boxes.shown, QStringList{c.message}) << c.what;
        EXPECT_EQ(programmes(QStringLiteral("T")).size(), 1) << c.what;
        EXPECT_EQ(column("kssj"), QStringLiteral("07:00:00")) << c.what;
    }
    // One second after midnight, for five seconds, is a programme.
    fillValid(QStringLiteral("铃声"), QTime(0, 0, 1), QTime(0, 0, 6));
    EXPECT_TRUE(save());
    EXPECT_EQ(programmes(QStringLiteral("T")), QStringList{QStringLiteral("铃声 00:00:01-00:00:06 100 未播放 1")});
}

TEST_F(ProgrammeEditorTest, AddingUnderAnExistingNameReplacesItAndContinuingAddsMore)
{
    fillValid();
    dialog->Edit4->setText(QStringLiteral("55.5"));
    EXPECT_TRUE(save(true));
    EXPECT_EQ(boxes.questions.last(), QStringLiteral("询问|保存成功，您是否要继续添加节目？"));
    // Yes: the dialog is empty again and stays an add dialog.
    EXPECT_TRUE(dialog->Edit1->text().isEmpty());
    EXPECT_EQ(dialog->dtp1->time(), QTime(0, 0));
    EXPECT_EQ(dialog->ComboBox1->currentIndex(), -1);
    EXPECT_EQ(dbhouse().qsjcx->recordCount(), 1);

    fillValid(QStringLiteral("铃声"), QTime(9, 0), QTime(9, 5));
    EXPECT_TRUE(save(true));
    fillValid(QStringLiteral("音乐"), QTime(10, 0), QTime(10, 30));
    EXPECT_TRUE(save(false));
    EXPECT_EQ(programmes(QStringLiteral("T")), (QStringList{QStringLiteral("铃声 09:00:00-09:05:00 100 未播放 1"),
                                                            QStringLiteral("音乐 10:00:00-10:30:00 100 未播放 1")}));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(ProgrammeEditorTest, ChangingReplacesTheCurrentRowOnly)
{
    addProgramme(QStringLiteral("T"), QStringLiteral("一"), "08:00:00", "08:10:00");
    addProgramme(QStringLiteral("T"), QStringLiteral("二"), "09:00:00", "09:10:00");
    openGrid();
    dbhouse().qsjcx->moveTo(1);
    programmeAddMode = false;
    fillValid(QStringLiteral("二改"), QTime(9, 0), QTime(9, 20));
    EXPECT_TRUE(save(true));
    EXPECT_TRUE(programmeAddMode);
    fillValid(QStringLiteral("三"), QTime(11, 0), QTime(11, 20));
    EXPECT_TRUE(save());
    EXPECT_EQ(programmes(QStringLiteral("T")), (QStringList{QStringLiteral("一 08:00:00-08:10:00 80 已播放 1"),
                                                            QStringLiteral("二改 09:00:00-09:20:00 100 未播放 1"),
                                                            QStringLiteral("三 11:00:00-11:20:00 100 未播放 1")}));
}

TEST_F(ProgrammeEditorTest, OverlapIsSavedAndNamesTheOtherProgramme)
{
    addProgramme(QStringLiteral("T"), QStringLiteral("早操"), "08:00:00", "08:20:00");
    addProgramme(QStringLiteral("T"), QStringLiteral("课间"), "08:20:00", "08:30:00");
    addProgramme(QStringLiteral("别的表"), QStringLiteral("午间"), "08:00:00", "09:00:00");
    openGrid();
    fillValid(QStringLiteral("广播"), QTime(8, 10), QTime(8, 20));
    EXPECT_TRUE(save());
    EXPECT_EQ(programmes(QStringLiteral("T")).size(), 3);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].startsWith(QStringLiteral("节目“广播”与“早操”的时间重叠！")))
        << boxes.shown[0].toStdString();

    // Windows that only touch do not overlap; the programme being replaced does not count.
    boxes.shown.clear();
    fillValid(QStringLiteral("早操"), QTime(7, 50), QTime(8, 15));
    EXPECT_TRUE(save());
    EXPECT_EQ(boxes.shown.size(), 1) << "overlaps 广播 only";
    EXPECT_FALSE(boxes.shown.value(0).contains(QStringLiteral("课间")));
    boxes.shown.clear();
    fillValid(QStringLiteral("课间"), QTime(8, 20), QTime(8, 30));
    EXPECT_TRUE(save());
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.shown.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ProgrammeEditorTest, KindVolumeAndDurationAsChosen)
{
    const QString folder = path(QStringLiteral("music.qk"));
    writeWav(QStringLiteral("music.qk/a.wav"), 1500);
    writeWav(QStringLiteral("music.qk/sub/b.wav"), 62500);
    writeFile(QStringLiteral("music.qk/readme.txt"), "not media");
    writeFile(QStringLiteral("music.qk/broken.mp3"), "not audio");
    exec(QStringLiteral(
        "insert into b_gqlbmxbak(wjpath,wjmc,lbmc,zsc) values('/m/a.mp3','a.mp3','/lists/早晨.qk','01:02:03')"));

    struct Case
    {
        const char *what;
        std::function<void(TFormbjjm &)> choose;
        const char *kind;
        QString duration;
    };
    const Case cases[] = {
        {"file",
         [&](TFormbjjm &d) {
             chosenFile = song;
             d.BitBtn1Click();
         },
         "1", QStringLiteral("00:00:02")},
        {"song list file",
         [&](TFormbjjm &d) {
             chosenFile = QStringLiteral("/lists/早晨.qk");
             d.BitBtn1Click();
         },
         "2", QStringLiteral("01:02:03")},
        {"unknown song list",
         [&](TFormbjjm &d) {
             d.edit3->setText(QStringLiteral("x"));
             chosenFile = QStringLiteral("/lists/无.QK");
             d.BitBtn1Click();
         },
         "2", QString()},
        {"saved song list",
         [&](TFormbjjm &d) {
             chosenList = QStringLiteral("/lists/早晨.qk");
             d.BitBtn7Click();
         },
         "2", QStringLiteral("01:02:03")},
        {"folder named .qk",
         [&](TFormbjjm &d) {
             chosenFolder = folder;
             d.BitBtn2Click();
         },
         "3", QStringLiteral("0:01:03")},
        {"typed after a folder",
         [&](TFormbjjm &d) {
             chosenFolder = folder;
             d.BitBtn2Click();
             d.Edit2->setText(path(QStringLiteral("music.qk/sub")));
         },
         "3", QStringLiteral("0:01:03")},
        {"file after a folder",
         [&](TFormbjjm &d) {
             chosenFolder = folder;
             d.BitBtn2Click();
             chosenFile = song;
             d.BitBtn1Click();
         },
         "1", QStringLiteral("00:00:02")},
        {"address ending .qk",
         [&](TFormbjjm &d) {
             chosenFolder = folder;
             d.BitBtn2Click();
             d.Edit2->setText(QStringLiteral("http://127.0.0.1/live.qk"));
         },
         "4", QStringLiteral("0:01:03")},
    };
    for (const Case &c : cases) {
        exec(QStringLiteral("delete from b_sjb"));
        openGrid();
        fillValid();
        c.choose(*dialog);
        EXPECT_EQ(dialog->edit3->text(), c.duration) << c.what;
        EXPECT_TRUE(save()) << c.what << ": " << boxes.shown.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(column("wjbz"), QLatin1String(c.kind)) << c.what;
        EXPECT_EQ(column("bfsc"), c.duration) << c.what;
        EXPECT_EQ(column("yldx"), QStringLiteral("100")) << c.what;
    }
    // The folder's files were listed MP3 first, then WAV, the unreadable one adding nothing.
    EXPECT_EQ(dialog->lbfiles2->count(), 3);
}

TEST_F(ProgrammeEditorTest, EmptyFolderAndUnreadableFile)
{
    chosenFolder = path(QStringLiteral("empty"));
    writeFile(QStringLiteral("empty/notes.txt"), "x");
    dialog->BitBtn2Click();
    EXPECT_TRUE(dialog->folderChosen);
    EXPECT_EQ(dialog->edit3->text(), QStringLiteral("0:00:00"));

    writeFile(QStringLiteral("m/broken.wav"), "RIFF and nothing");
    chosenFile = path(QStringLiteral("m/broken.wav"));
    dialog->BitBtn1Click();
    EXPECT_FALSE(dialog->folderChosen);
    EXPECT_EQ(dialog->Edit2->text(), chosenFile);
    EXPECT_EQ(dialog->edit3->text(), QStringLiteral("0:00:00")) << "keeps its previous text";
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("无法读取该文件的时长，请确认它是能播放的声音文件！")});

    // Cancelling the chooser keeps what was there.
    chosenFile.clear();
    dialog->BitBtn1Click();
    EXPECT_EQ(dialog->Edit2->text(), path(QStringLiteral("m/broken.wav")));
}

TEST_F(ProgrammeEditorTest, AddressPickerFillsTheChosenAddress)
{
    dialog->Edit2->setText(QStringLiteral("/old"));
    // With no stored address, Enter and double-click do nothing; "确定" gives an empty address.
    pick = [](QDialog &d) {
        auto &p = static_cast<TFormgbcx &>(d);
        p.DBGrid1DblClick();
        EXPECT_EQ(p.result(), 0);
        p.BitBtn1->click();
        return p.result();
    };
    dialog->BitBtn5Click();
    EXPECT_EQ(dialog->Edit2->text(), QString());

    exec(QStringLiteral("insert into b_gbb(bt,strwz) values('新闻','http://127.0.0.1:8000/news')"));
    exec(QStringLiteral("insert into b_gbb(bt,strwz) values('音乐','http://127.0.0.1:8000/music')"));
    pick = [](QDialog &d) {
        auto &p = static_cast<TFormgbcx &>(d);
        p.DBGrid1->selectRow(1);
        p.DBGrid1DblClick();
        return p.result();
    };
    dialog->BitBtn5Click();
    EXPECT_EQ(dialog->Edit2->text(), QStringLiteral("http://127.0.0.1:8000/music"));
    EXPECT_FALSE(dbhouse().qgbcx->isActive());
    pick = [](QDialog &d) {
        static_cast<TFormgbcx &>(d).BitBtn2->click();
        return d.result();
    };
    dialog->BitBtn5Click();
    EXPECT_EQ(dialog->Edit2->text(), QStringLiteral("http://127.0.0.1:8000/music"));
}

} // namespace

namespace {

// A database that refuses new rows (full, locked or read-only): the programme being
// replaced stays as it was, and the failure is reported.
TEST_F(ProgrammeEditorTest, AFailedWriteKeepsTheProgrammeItReplaces)
{
    addProgramme(QStringLiteral("T"), QStringLiteral("铃声"), "07:00:00", "07:10:00");
    openGrid();
    exec(QStringLiteral(
        "create trigger refuse before insert on b_sjb begin select raise(abort, 'database or disk is full'); end"));
    for (bool add : {true, false}) {
        boxes.shown.clear();
        programmeAddMode = add;
        dbhouse().qsjcx->first();
        fillValid();
        EXPECT_FALSE(dialog->BitBtn3Click());
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_TRUE(boxes.shown[0].startsWith(QStringLiteral("节目保存失败："))) << boxes.shown[0].toStdString();
        EXPECT_EQ(programmes(QStringLiteral("T")), QStringList{QStringLiteral("铃声 07:00:00-07:10:00 80 已播放 1")});
    }
}

} // namespace

namespace {

// "取消" while a folder is measured: the measurement ends early, the folder stays chosen,
// no total is claimed, and the dialog's buttons work again.
TEST_F(ProgrammeEditorTest, CancellingAFolderMeasurementClaimsNoTotal)
{
    for (int i = 0; i < 200; ++i)
        writeWav(QStringLiteral("many/%1.wav").arg(i, 3, 10, QLatin1Char('0')), 100);
    bool sawMeasuring = false;
    QObject::connect(dialog->pg1, &QProgressBar::valueChanged, dialog.get(), [&](int value) {
        if (value == 1 && dialog->measuring()) {
            sawMeasuring = !dialog->BitBtn3->isEnabled() && !dialog->btnCancelMeasure->isHidden();
            dialog->btnCancelMeasure->click();
        }
    });
    chosenFolder = path(QStringLiteral("many"));
    dialog->BitBtn2Click();
    EXPECT_TRUE(sawMeasuring);
    EXPECT_FALSE(dialog->measuring());
    EXPECT_TRUE(dialog->folderChosen);
    EXPECT_EQ(dialog->Edit2->text(), chosenFolder);
    EXPECT_EQ(dialog->edit3->text(), QString());
    EXPECT_TRUE(dialog->BitBtn3->isEnabled());
    EXPECT_TRUE(dialog->btnCancelMeasure->isHidden());
}

} // namespace
