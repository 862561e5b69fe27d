// "保存" and "返回" of the programme editor: the checks, the one-row write and the
// warning about programmes whose windows overlap.
#include "editors/programme_editor.h"

#include "core/message_box.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QTimeEdit>

#include <cmath>

namespace {

constexpr int kMinimumWindowSecs = 5;

void tell(QWidget *parent, const QString &text)
{
    qWarning().noquote() << QStringLiteral("chimecast: programme editor: %1").arg(text.trimmed());
    MessageBox::information(parent, text);
}

// Volume text as a number: the program's own form ("50.5") or the desktop's ("50,5").
bool parseVolume(const QString &text, double *value)
{
    bool ok = false;
    double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        v = QLocale::system().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

} // namespace

QString TFormbjjm::overlapWarning(const QTime &start, const QTime &end, int replacedIid) const
{
    TQuery *q = dbhouse().qsjcx;
    if (!q->isActive())
        return {};
    QStringList names;
    for (int row = 0; row < q->recordCount(); ++row) {
        if (q->value(row, QStringLiteral("sjmc")).toString() != Edit5->text())
            continue;
        const QString name = q->value(row, QStringLiteral("jmmc")).toString();
        if (programmeAddMode ? name == Edit1->text() : q->value(row, QStringLiteral("iid")).toInt() == replacedIid)
            continue; // the row this save replaces
        const QTime otherStart = timeFromDb(q->value(row, QStringLiteral("kssj")));
        const QTime otherEnd = timeFromDb(q->value(row, QStringLiteral("jssj")));
        if (!otherStart.isValid() || !otherEnd.isValid())
            continue;
        if (start < otherEnd && otherStart < end)
            names.append(QStringLiteral("“%1”").arg(name));
    }
    if (names.isEmpty())
        return {};
    return QStringLiteral("节目“%1”与%2的时间重叠！同一时间只播放一个节目：后开始的节目要等前一个节目结束后才播放，"
                          "来不及就不播放！")
        .arg(Edit1->text(), names.join(QStringLiteral("、")));
}

bool TFormbjjm::BitBtn3Click()
{
    if (measuring_)
        return false;
    if (Edit1->text().isEmpty()) {
        tell(this, QStringLiteral("节目名称不能为空！ "));
        return false;
    }
    if (Edit2->text().isEmpty()) {
        tell(this, QStringLiteral("歌曲或文件夹不能为空！ "));
        return false;
    }
    if (ComboBox1->currentIndex() < 0) {
        tell(this, QStringLiteral("播放方式不能为空！ "));
        return false;
    }
    const QTime start = QTime(dtp1->time().hour(), dtp1->time().minute(), dtp1->time().second());
    const QTime end = QTime(dtp2->time().hour(), dtp2->time().minute(), dtp2->time().second());
    if (start == QTime(0, 0)) {
        tell(this, QStringLiteral("开始时间要选择好！"));
        return false;
    }
    if (end == QTime(0, 0)) {
        tell(this, QStringLiteral("结束时间要选择好！"));
        return false;
    }
    // A window shorter than this never starts: the dispatcher starts a programme only
    // before its end minus four seconds and never runs one across midnight.
    if (start.secsTo(end) < kMinimumWindowSecs) {
        tell(this, QStringLiteral("结束时间必须晚于开始时间！"));
        return false;
    }
    if (Edit4->text().isEmpty())
        Edit4->setText(QStringLiteral("100"));
    double volume = 0;
    if (!parseVolume(Edit4->text(), &volume)) {
        tell(this, QStringLiteral("音量“%1”不是有效的数字！").arg(Edit4->text()));
        return false;
    }

    QString kind = folderChosen                    ? QStringLiteral("3")
                   : isSongListPath(Edit2->text()) ? QStringLiteral("2")
                                                   : QStringLiteral("1");
    if (Edit2->text().contains(QLatin1String("://")))
        kind = QStringLiteral("4");
    // A file or folder that is gone (moved, renamed, a typing error) would never play.
    if ((kind == QLatin1String("1") && !QFileInfo(Edit2->text()).isFile())
        || (kind == QLatin1String("3") && !QFileInfo(Edit2->text()).isDir())) {
        tell(this, QStringLiteral("歌曲或文件夹不存在，请重新选择！"));
        return false;
    }

    TQuery *grid = dbhouse().qsjcx;
    int replacedIid = 0;
    if (!programmeAddMode) {
        if (!grid->isActive() || grid->eof()) {
            tell(this, QStringLiteral("要修改的节目已不在时间表里！"));
            return false;
        }
        replacedIid = grid->field(QStringLiteral("iid")).toInt();
    }
    const QString overlap = overlapWarning(start, end, replacedIid);

    try {
        // The old row goes only together with the new one coming in: a failed insert
        // (a locked or read-only database) leaves the programme as it was.
        dbhouse().inTransaction([&] {
            TQuery *up = dbhouse().qup;
            up->close();
            if (programmeAddMode) {
                up->setSql(Sql::deleteEntryByName);
                up->setParam(QStringLiteral("sjmc"), Edit5->text());
                up->setParam(QStringLiteral("jmmc"), Edit1->text());
            } else {
                up->setSql(Sql::deleteEntryFromEditor);
                up->setParam(QStringLiteral("iid"), replacedIid);
            }
            up->execSql();
            TQuery *in = dbhouse().qin;
            in->close();
            in->setSql(Sql::insertEntryLine1, Sql::insertEntryLine2);
            in->setParam(QStringLiteral("sjmc"), Edit5->text());
            in->setParam(QStringLiteral("jmmc"), Edit1->text());
            in->setParam(QStringLiteral("kssj"), start);
            in->setParam(QStringLiteral("jssj"), end);
            in->setParam(QStringLiteral("wjpath"), Edit2->text());
            in->setParam(QStringLiteral("bfsc"), edit3->text());
            in->setParam(QStringLiteral("yldx"), volume);
            in->setParam(QStringLiteral("bffs"), ComboBox1->currentText());
            in->setParam(QStringLiteral("bfzt"), QStringLiteral("未播放"));
            in->setParam(QStringLiteral("wjbz"), kind);
            in->execSql();
        });
    } catch (const DbError &e) {
        tell(this, QStringLiteral("节目保存失败：%1").arg(e.text()));
        return false;
    }
    qInfo().noquote() << QStringLiteral("chimecast: programme editor: saved %1 of %2, %3-%4, kind %5")
                             .arg(Edit1->text(), Edit5->text(), start.toString(QStringLiteral("HH:mm:ss")),
                                  end.toString(QStringLiteral("HH:mm:ss")), kind);
    try {
        grid->close();
        grid->setSql(Sql::selectTimetableForEditor);
        grid->setParam(QStringLiteral("sjmc"), Edit5->text());
        grid->open();
    } catch (const DbError &e) {
        tell(this, e.text());
    }
    if (!overlap.isEmpty())
        tell(this, overlap);
    if (MessageBox::askYesNo(this, QStringLiteral("询问"), QStringLiteral("保存成功，您是否要继续添加节目？"))) {
        BitBtn6Click();
        programmeAddMode = true;
        // The next programme starts from nothing chosen, as a freshly opened add dialog.
        folderChosen = false;
    } else {
        accept();
    }
    return true;
}

void TFormbjjm::BitBtn4Click()
{
    if (measuring_)
        return;
    accept();
}

void TFormbjjm::reject()
{
    // Escape or the close box while a folder is being measured stops the measurement;
    // the dialog stays open with the folder chosen.
    if (measuring_) {
        measurement_->cancel();
        return;
    }
    QDialog::reject();
}

void TFormbjjm::closeEvent(QCloseEvent *event)
{
    if (measuring_) {
        measurement_->cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
