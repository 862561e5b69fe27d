// Runs the built program in a fresh program folder on the offscreen platform.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

namespace {

QProcessEnvironment programEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CHIMECAST_HOME"), home);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("CHIMECAST_POWEROFF"), QStringLiteral("dry-run"));
    env.insert(QStringLiteral("SONVOX_ALSA_DEVICE"), QStringLiteral("null"));
    return env;
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

TEST(ProgramRun, CreatesItsFilesRunsOnceAndEndsCleanlyOnSigterm)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString program = QStringLiteral(CHIMECAST_PROGRAM);

    QProcess first;
    first.setProcessEnvironment(programEnvironment(home.path()));
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(waitFor([&] { return QFile::exists(home.filePath(QStringLiteral("dat/qvrDemo.db"))); }, 15000))
        << "the database is created on first start";
    EXPECT_EQ(first.state(), QProcess::Running);

    QProcess second;
    second.setProcessEnvironment(programEnvironment(home.path()));
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer elapsed;
    elapsed.start();
    second.start(program, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    const bool ended = second.waitForFinished(5000);
    const qint64 took = elapsed.elapsed();
    ASSERT_TRUE(ended);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_LT(took, 1000) << "a second start must end within a second";
    EXPECT_EQ(first.state(), QProcess::Running) << "the first instance keeps running";
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("chimecast.ini")))) << "first run keeps the date in memory";

    first.terminate(); // SIGTERM
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);

    QFile ini(home.filePath(QStringLiteral("chimecast.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly)) << "settings are saved on the way out";
    QStringList keys;
    for (const QByteArray &line : ini.readAll().split('\n')) {
        if (line.contains('='))
            keys.append(QString::fromUtf8(line.left(line.indexOf('='))));
    }
    EXPECT_EQ(keys, (QStringList{QStringLiteral("strrqr"), QStringLiteral("strposr"), QStringLiteral("strposr2"),
                                 QStringLiteral("strstart"), QStringLiteral("strmin"), QStringLiteral("stroff"),
                                 QStringLiteral("strover"), QStringLiteral("strvolue"), QStringLiteral("strofftime"),
                                 QStringLiteral("strchecktime"), QStringLiteral("strdbtype"),
                                 QStringLiteral("strdbhost"), QStringLiteral("strdbport"), QStringLiteral("strdbname"),
                                 QStringLiteral("strdbuser"), QStringLiteral("strdbpassfile")}));

    // The terminal's check and log on the folder the program left: nothing is planned
    // tomorrow (all is well, 0); a date that is none is a usage error (2).
    auto run = [&home](const QStringList &args) {
        QProcess p;
        p.setProcessEnvironment(programEnvironment(home.path()));
        p.start(QStringLiteral(CHIMECAST_PROGRAM), args);
        EXPECT_TRUE(p.waitForFinished(10000));
        return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()));
    };
    const auto check = run({QStringLiteral("--check")});
    EXPECT_EQ(check.first, 0);
    EXPECT_TRUE(check.second.contains(QStringLiteral("没有安排时间表"))) << qPrintable(check.second);
    EXPECT_EQ(run({QStringLiteral("--check"), QStringLiteral("tomorrow")}).first, 2);
    const auto log = run({QStringLiteral("--log")});
    EXPECT_EQ(log.first, 0);
    EXPECT_TRUE(log.second.startsWith(QStringLiteral("日期,时间,时间表,节目"))) << qPrintable(log.second);
}

TEST(ProgramRun, ProgramFolderThatCannotBeCreatedIsReportedWithoutACrash)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("a file where the program folder should go");
    blocker.close();
    const QString home = dir.filePath(QStringLiteral("blocker/home"));

    QProcess program;
    program.setProcessEnvironment(programEnvironment(home));
    program.start(QStringLiteral(CHIMECAST_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    // The program says "data error" in its log and, with nobody to close the box on the
    // offscreen platform, ends by its own exit path with a failure code (so a service
    // manager can restart it) instead of waiting forever.
    QByteArray errors;
    ASSERT_TRUE(waitFor(
        [&] {
            program.waitForReadyRead(50);
            errors += program.readAllStandardError();
            return program.state() != QProcess::Running;
        },
        15000))
        << errors.constData();
    errors += program.readAllStandardError();
    EXPECT_TRUE(errors.contains("data error")) << errors.constData();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "ended by its own exit path, not a crash";
    EXPECT_NE(program.exitCode(), 0);
    QFile unchanged(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(unchanged.open(QIODevice::ReadOnly));
    EXPECT_EQ(unchanged.readAll(), QByteArray("a file where the program folder should go"));
}

} // namespace
