// The tab "时间表编辑": name lists, the grid following the name, import, add, change and
// the two deletes, driven as a user drives them with the answering message boxes.
#include "editor_fixture.h"
#include "editors/timetable_editor.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTimeEdit>
#include <QWidget>

#include <memory>

namespace {

class TimetableEditorTest : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        tab = std::make_unique<QWidget>();
        TimetableEditorContext context;
        context.tab = tab.get();
        context.showProgrammeEditor = [this](TFormbjjm &dialog) {
            if (fill)
                fill(dialog);
        };
        editor = std::make_unique<TimetableEditorTab>(std::move(context));
    }
    void TearDown() override
    {
        editor.reset();
        tab.reset();
        EditorTest::TearDown();
    }

    QStringList items(QComboBox *box)
    {
        QStringList all;
        for (int i = 0; i < box->count(); ++i)
            all.append(box->itemText(i));
        return all;
    }
    int gridRows() { return editor->DBGrid2->model()->rowCount(); }

    std::unique_ptr<QWidget> tab;
    std::function<void(TFormbjjm &)> fill;
    std::unique_ptr<TimetableEditorTab> editor;
};

TEST_F(TimetableEditorTest, LoadListsTheNamesAndTheGridFollowsTheTypedName)
{
    editor->load();
    EXPECT_TRUE(items(editor->ComboBox1).isEmpty());
    EXPECT_EQ(editor->ComboBox1->currentText(), QString());
    EXPECT_EQ(gridRows(), 0);

    addProgramme(QStringLiteral("夏季"), QStringLiteral("起床"), "06:30:00", "06:35:00");
    addProgramme(QStringLiteral("冬季"), QStringLiteral("起床"), "07:00:00", "07:05:00");
    addProgramme(QStringLiteral("冬季"), QStringLiteral("早操"), "06:50:00", "06:55:00");
    editor->load();
    const QStringList names = items(editor->ComboBox1);
    EXPECT_EQ(names.size(), 2);
    EXPECT_EQ(items(editor->ComboBox2), names);
    EXPECT_EQ(editor->ComboBox2->currentIndex(), -1);
    EXPECT_EQ(editor->ComboBox1->currentText(), names.first());
    // Nine columns with their titles, in order.
    QStringList titles;
    for (int v = 0; v < editor->DBGrid2->model()->columnCount(); ++v) {
        const int logical = editor->DBGrid2->horizontalHeader()->logicalIndex(v);
        if (!editor->DBGrid2->isColumnHidden(logical))
            titles.append(editor->DBGrid2->model()->headerData(logical, Qt::Horizontal).toString());
    }
    EXPECT_EQ(
        titles.join(QLatin1Char(',')),
        QStringLiteral("节目名称,开始时间,结束时间,歌曲列表或歌曲或文件夹,时长,音量,播放方式,播放状态,时间表名称"));

    editor->ComboBox1->setEditText(QStringLiteral("冬"));
    EXPECT_EQ(gridRows(), 0);
    editor->ComboBox1->setEditText(QStringLiteral("冬季"));
    ASSERT_EQ(gridRows(), 2);
    EXPECT_EQ(dbhouse().qsjcx->value(0, QStringLiteral("jmmc")).toString(), QStringLiteral("早操"));
    editor->ComboBox1->setEditText(QString());
    EXPECT_FALSE(dbhouse().qsjcx->isActive());
}

TEST_F(TimetableEditorTest, ImportReplacesTheTargetKeepsTimesAndRoundsVolumes)
{
    addProgramme(QStringLiteral("A"), QStringLiteral("一"), "08:00:00", "08:10:00", 50.5);
    addProgramme(QStringLiteral("A"), QStringLiteral("二"), "09:00:01", "09:10:59", 51.5);
    addProgramme(QStringLiteral("B"), QStringLiteral("旧"), "10:00:00", "10:10:00");
    addProgramme(QStringLiteral("空"), QStringLiteral("x"), "10:00:00", "10:10:00");
    exec(QStringLiteral("delete from b_sjb where sjmc='空'"));
    editor->load();

    // Empty target name, then no source chosen: nothing happens.
    editor->ComboBox1->setEditText(QString());
    editor->BitBtn17Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("编辑时间表不能为空！")});
    editor->ComboBox1->setEditText(QStringLiteral("B"));
    editor->BitBtn17Click();
    EXPECT_EQ(boxes.shown.size(), 1);

    editor->ComboBox2->setCurrentIndex(editor->ComboBox2->findText(QStringLiteral("A")));
    editor->BitBtn17Click();
    const QStringList expected = {QStringLiteral("一 08:00:00-08:10:00 50 未播放 1"),
                                  QStringLiteral("二 09:00:01-09:10:59 52 未播放 1")};
    EXPECT_EQ(programmes(QStringLiteral("B")), expected);
    EXPECT_EQ(gridRows(), 2);

    // Onto itself: the same programmes again with new numbers and every status reset.
    const int maxBefore = scalar(QStringLiteral("select max(iid) from b_sjb")).toInt();
    editor->ComboBox1->setEditText(QStringLiteral("A"));
    editor->BitBtn17Click();
    EXPECT_EQ(programmes(QStringLiteral("A")), expected);
    EXPECT_GT(scalar(QStringLiteral("select min(iid) from b_sjb where sjmc='A'")).toInt(), maxBefore);

    // A new name typed as the target becomes a timetable.
    editor->ComboBox1->setEditText(QStringLiteral("新表"));
    editor->BitBtn17Click();
    EXPECT_EQ(programmes(QStringLiteral("新表")), expected);
    EXPECT_EQ(gridRows(), 2);
}

TEST_F(TimetableEditorTest, ImportFromAnEmptySourceLeavesTheTargetAlone)
{
    addProgramme(QStringLiteral("A"), QStringLiteral("一"), "08:00:00", "08:10:00");
    addProgramme(QStringLiteral("B"), QStringLiteral("二"), "09:00:00", "09:10:00");
    editor->load();
    exec(QStringLiteral("delete from b_sjb where sjmc='B'")); // gone since the lists were filled
    editor->ComboBox1->setEditText(QStringLiteral("A"));
    editor->ComboBox2->setCurrentIndex(editor->ComboBox2->findText(QStringLiteral("B")));
    editor->BitBtn17Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("B没有记录，不能导入数据！")});
    EXPECT_EQ(programmes(QStringLiteral("A")).size(), 1);
}

TEST_F(TimetableEditorTest, DeleteOneAndDeleteAllAskFirst)
{
    addProgramme(QStringLiteral("A"), QStringLiteral("一"), "08:00:00", "08:10:00");
    addProgramme(QStringLiteral("A"), QStringLiteral("二"), "09:00:00", "09:10:00");
    addProgramme(QStringLiteral("B"), QStringLiteral("三"), "09:00:00", "09:10:00");
    editor->load();
    editor->DBGrid2->selectRow(1);
    boxes.answers = {false, true};
    editor->BitBtn19Click();
    EXPECT_EQ(programmes(QStringLiteral("A")).size(), 2);
    editor->BitBtn19Click();
    EXPECT_EQ(boxes.questions.last(), QStringLiteral("询问|您确定要删除选中的这条记录吗？"));
    ASSERT_EQ(programmes(QStringLiteral("A")).size(), 1);
    EXPECT_TRUE(programmes(QStringLiteral("A")).first().startsWith(QStringLiteral("一 ")));
    EXPECT_EQ(gridRows(), 1);

    boxes.answers = {false, true};
    editor->BitBtn21Click();
    EXPECT_EQ(programmes(QStringLiteral("A")).size(), 1);
    editor->BitBtn21Click();
    EXPECT_EQ(boxes.questions.last(), QStringLiteral("询问|您确定要删除全部记录吗？"));
    EXPECT_TRUE(programmes(QStringLiteral("A")).isEmpty());
    EXPECT_EQ(programmes(QStringLiteral("B")).size(), 1);
    EXPECT_EQ(gridRows(), 0);
    // With nothing left, neither asks.
    const qsizetype asked = boxes.questions.size();
    editor->BitBtn19Click();
    editor->BitBtn21Click();
    EXPECT_EQ(boxes.questions.size(), asked);
}

TEST_F(TimetableEditorTest, AddUnderANewNameAndChangeFromTheGridRow)
{
    const QString song = writeWav(QStringLiteral("m/bell.wav"), 1000);
    editor->load();
    editor->BitBtn18Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("编辑时间表不能为空！")});

    editor->ComboBox1->setEditText(QStringLiteral("新学期"));
    fill = [&](TFormbjjm &d) {
        EXPECT_TRUE(programmeAddMode);
        EXPECT_EQ(d.Edit5->text(), QStringLiteral("新学期"));
        d.Edit1->setText(QStringLiteral("上课铃"));
        d.dtp1->setTime(QTime(8, 0));
        d.dtp2->setTime(QTime(8, 1));
        d.Edit2->setText(song);
        d.Edit4->setText(QStringLiteral("90"));
        d.ComboBox1->setCurrentIndex(1);
        boxes.answers = {false};
        EXPECT_TRUE(d.BitBtn3Click());
    };
    editor->BitBtn18Click();
    EXPECT_EQ(items(editor->ComboBox1), QStringList{QStringLiteral("新学期")});
    EXPECT_EQ(editor->ComboBox1->currentText(), QStringLiteral("新学期"));
    EXPECT_EQ(gridRows(), 1);

    const int oldIid = dbhouse().qsjcx->field(QStringLiteral("iid")).toInt();
    fill = [&](TFormbjjm &d) {
        EXPECT_FALSE(programmeAddMode);
        EXPECT_EQ(d.Edit1->text(), QStringLiteral("上课铃"));
        EXPECT_EQ(d.dtp1->time(), QTime(8, 0));
        EXPECT_EQ(d.dtp2->time(), QTime(8, 1));
        EXPECT_EQ(d.Edit2->text(), song);
        EXPECT_EQ(d.Edit4->text(), QStringLiteral("90"));
        EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("顺序播放"));
        d.dtp2->setTime(QTime(8, 2));
        boxes.answers = {false};
        EXPECT_TRUE(d.BitBtn3Click());
    };
    editor->BitBtn20Click();
    EXPECT_EQ(programmes(QStringLiteral("新学期")),
              QStringList{QStringLiteral("上课铃 08:00:00-08:02:00 90 未播放 1")});
    EXPECT_NE(scalar(QStringLiteral("select iid from b_sjb")).toInt(), oldIid);
}

} // namespace

namespace {

TEST_F(TimetableEditorTest, AFailedImportKeepsTheTargetsProgrammes)
{
    addProgramme(QStringLiteral("A"), QStringLiteral("一"), "08:00:00", "08:10:00");
    addProgramme(QStringLiteral("B"), QStringLiteral("二"), "09:00:00", "09:10:00");
    editor->load();
    exec(QStringLiteral(
        "create trigger refuse before insert on b_sjb begin select raise(abort, 'database is locked'); end"));
    editor->ComboBox1->setEditText(QStringLiteral("B"));
    editor->ComboBox2->setCurrentIndex(editor->ComboBox2->findText(QStringLiteral("A")));
    editor->BitBtn17Click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].startsWith(QStringLiteral("导入失败："))) << boxes.shown[0].toStdString();
    EXPECT_EQ(programmes(QStringLiteral("B")), QStringList{QStringLiteral("二 09:00:00-09:10:00 80 已播放 1")});
}

} // namespace
