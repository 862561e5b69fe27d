#pragma once
// The as-run log: one row of b_bfrz per event of a programme (started, stopped, failed,
// missed, skipped, manual start and stop, shutdown, resolution, clock change, a problem
// found by tomorrow's check), with the reason of a problem in plain Chinese. Whatever the
// database says, writing never throws: a failed write is logged and the programme goes on.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class Tdbhouse;

// Event texts as stored in b_bfrz.sjlx.
namespace AsRunEvent {
inline const QString started = QStringLiteral("开始播放");
inline const QString stopped = QStringLiteral("停止播放");
inline const QString skipped = QStringLiteral("跳过");
inline const QString missed = QStringLiteral("错过");
inline const QString failed = QStringLiteral("未能播放");
inline const QString manualStart = QStringLiteral("手动播放");
inline const QString manualStop = QStringLiteral("手动停止");
inline const QString shutdown = QStringLiteral("关机");
inline const QString resolution = QStringLiteral("导入时间表");
inline const QString clockChanged = QStringLiteral("时钟变化");
inline const QString checked = QStringLiteral("明日检查");
inline const QString asleep = QStringLiteral("电脑休眠");
inline const QString awake = QStringLiteral("电脑唤醒");
} // namespace AsRunEvent

// Reasons, as the user reads them.
namespace AsRunReason {
inline QString fileMissing(const QString &path)
{
    return QStringLiteral("文件不存在：%1").arg(path);
}
inline const QString folderEmpty = QStringLiteral("文件夹里没有可播放的文件");
inline const QString listEmpty = QStringLiteral("歌曲列表里没有可播放的歌曲");
inline const QString streamDead = QStringLiteral("网络地址无法连接");
inline const QString asleep = QStringLiteral("电脑休眠或软件未运行，错过了播放时间");
inline const QString earlierRunning = QStringLiteral("上一个节目还在播放");
inline const QString noSoundDevice = QStringLiteral("没有声卡或声卡被占用");
} // namespace AsRunReason

struct AsRunRecord
{
    QDateTime at;    // date and time, whole seconds
    QString sjmc;    // timetable
    QString jmmc;    // programme
    QString kssj;    // its start time "HH:MM:SS" (empty for events of no programme)
    QString event;   // one of AsRunEvent
    QString content; // what was played: file, folder, song list or address
    int items = -1;  // number of items in the play list; -1 when it does not apply
    QString reason;  // why it is a problem; empty when all went well

    bool isProblem() const { return !reason.isEmpty(); }
};

class AsRunLog : public QObject
{
    Q_OBJECT
public:
    // Days kept; older rows go at the day change.
    static constexpr int kKeepDays = 400;

    // Over `db`; over the program-wide data module, whichever it is at each call, when null.
    explicit AsRunLog(Tdbhouse *db = nullptr, QObject *parent = nullptr);

    // Writes one row through qbfrz. False (and a warning in the program's log) when the
    // database refused it; never throws.
    bool write(const AsRunRecord &record);
    // The rows of one day in the order they were written; problems only when asked.
    // Throws DbError.
    QList<AsRunRecord> day(const QDate &date, bool problemsOnly = false);
    // Whether some row of `date` names this programme already (timetable, name, start).
    bool hasEntry(const QDate &date, const QString &sjmc, const QString &jmmc, const QString &kssj);
    // Deletes the rows older than kKeepDays before `today`; the number removed, -1 on an error.
    int prune(const QDate &today);

    // The rows as CSV (UTF-8 text, a header line, fields quoted where needed).
    static QString csv(const QList<AsRunRecord> &records);

Q_SIGNALS:
    // A row holding a problem was written.
    void problemWritten(const AsRunRecord &record);

private:
    // The data module written to; null when the program-wide one has not been made.
    Tdbhouse *db() const;

    Tdbhouse *db_;
};

// The program-wide as-run log over the program-wide data module.
AsRunLog &asRunLog();
