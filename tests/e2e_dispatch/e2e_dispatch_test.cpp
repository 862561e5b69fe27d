// Starts the real program on a fresh program folder (offscreen, dry-run power-off) whose
// timetable for today holds one programme starting three seconds after launch and lasting
// ten seconds, with ALSA writing the program's sound to a file. Checks that sound was
// written inside the programme's window and that the entry ends up "已播放".

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

namespace {

// A mono 16-bit tone, `seconds` long.
void writeTone(const QString &path, int seconds)
{
    const int rate = 22050;
    const quint32 samples = quint32(rate * seconds);
    QByteArray data;
    data.reserve(int(samples * 2));
    for (quint32 i = 0; i < samples; ++i) {
        const qint16 v = qint16(8000 * std::sin(2 * M_PI * 440.0 * i / rate));
        data.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    }
    auto u32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char *>(&v), 2); };
    QByteArray wav = "RIFF" + u32(36 + quint32(data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(rate)
                     + u32(rate * 2) + u16(2) + u16(16) + "data" + u32(quint32(data.size())) + data;
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(wav);
}

void createDatabase(const QString &path, const QString &tone, const QTime &start, const QTime &end)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("e2e"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QFile schema(QStringLiteral(CHIMECAST_SCHEMA));
        ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(schema.readAll());
        for (const QString &statement : text.split(QStringLiteral("\n;"))) {
            QStringList lines;
            for (const QString &line : statement.split(QLatin1Char('\n')))
                if (!line.trimmed().startsWith(QStringLiteral("--")))
                    lines.append(line);
            const QString sql = lines.join(QLatin1Char('\n')).trimmed();
            if (!sql.isEmpty()) {
                ASSERT_TRUE(QSqlQuery(db).exec(sql)) << sql.toStdString();
            }
        }
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("delete from x_sjbsz")));
        ASSERT_TRUE(q.exec(QStringLiteral("insert into x_sjbsz(xq1,xq2,xq3,xq4,xq5,xq6,xq7) "
                                          "values('联调','联调','联调','联调','联调','联调','联调')")));
        q.prepare(QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz)"
                                 " values('联调','铃声',:kssj,:jssj,:wjpath,'00:00:10',100,'顺序播放','未播放','1')"));
        q.bindValue(QStringLiteral(":kssj"), start.toString(QStringLiteral("HH:mm:ss")));
        q.bindValue(QStringLiteral(":jssj"), end.toString(QStringLiteral("HH:mm:ss")));
        q.bindValue(QStringLiteral(":wjpath"), tone);
        ASSERT_TRUE(q.exec());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("e2e"));
}

QString playState(const QString &path)
{
    QString state;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("e2e-read"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(QStringLiteral("select bfzt from b_sjbjr where jmmc = '铃声'"), db);
            if (q.next())
                state = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("e2e-read"));
    return state;
}

bool hasNonZeroSample(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.read(1 << 20);
    for (char b : bytes)
        if (b != 0)
            return true;
    return false;
}

} // namespace

TEST(EndToEndDispatch, ProgrammeSoundsInItsWindowAndIsMarkedPlayed)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QDir(home.path()).mkpath(QStringLiteral("dat"));
    const QString tone = home.filePath(QStringLiteral("tone.wav"));
    writeTone(tone, 3);
    const QString output = home.filePath(QStringLiteral("sound.raw"));
    const QString alsaConf = home.filePath(QStringLiteral("asound.conf"));
    {
        QFile conf(alsaConf);
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("pcm.chimecast_test {\n  type file\n  slave.pcm { type null }\n"
                                  "  file \"%1\"\n  format \"raw\"\n}\n")
                       .arg(output)
                       .toUtf8());
    }
    // A saved date of yesterday makes the program resolve today's timetable at start.
    {
        QFile ini(home.filePath(QStringLiteral("chimecast.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[Judge]\nstrrqr=%1\n")
                      .arg(QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyy-MM-dd")))
                      .toUtf8());
    }
    const QDateTime launch = QDateTime::currentDateTime();
    // Stored times have whole seconds: the programme's window starts at the second itself.
    const QTime later = launch.time().addSecs(3);
    const QTime start(later.hour(), later.minute(), later.second());
    const QTime end = start.addSecs(10);
    if (start < launch.time() || end < start)
        GTEST_SKIP() << "too close to midnight";
    const QString database = home.filePath(QStringLiteral("dat/qvrDemo.db"));
    createDatabase(database, tone, start, end);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CHIMECAST_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("CHIMECAST_POWEROFF"), QStringLiteral("dry-run"));
    env.insert(QStringLiteral("CHIMECAST_TEST_HARNESS"), QStringLiteral("1"));
    env.insert(QStringLiteral("ALSA_CONFIG_PATH"), alsaConf);
    env.insert(QStringLiteral("SONVOX_ALSA_DEVICE"), QStringLiteral("chimecast_test"));
    env.insert(QStringLiteral("CHIMECAST_AUDIO_SINK"), QStringLiteral("fakesink"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(CHIMECAST_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(5000));

    const QDateTime startAt(launch.date(), start);
    const QDateTime endAt(launch.date(), end);
    QDateTime firstSound;
    while (QDateTime::currentDateTime() < endAt.addSecs(3) && program.state() == QProcess::Running) {
        if (!firstSound.isValid() && hasNonZeroSample(output))
            firstSound = QDateTime::currentDateTime();
        QThread::msleep(50);
    }
    const QString state = playState(database);
    program.terminate();
    if (!program.waitForFinished(10000))
        program.kill();

    ASSERT_TRUE(firstSound.isValid()) << "no sound was written";
    const qint64 delay = startAt.msecsTo(firstSound);
    std::cout << "start delay (start time to first sound): " << delay << " ms" << std::endl;
    // Inside the programme's window: from its start to four seconds before its end.
    EXPECT_GE(delay, 0);
    EXPECT_LE(firstSound, endAt.addSecs(-4));
    EXPECT_EQ(state, QStringLiteral("已播放"));
}
