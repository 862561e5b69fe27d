#include "support/program_test.h"

#include "player/player_control.h"
#include "core/settings.h"
#include "db/dbhouse.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

void ensureTestApplication()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("CHIMECAST_POWEROFF", "dry-run");
    // Second guard: the power-off factory never returns the real call under a test harness.
    qputenv("CHIMECAST_TEST_HARNESS", "1");
    qputenv("SONVOX_ALSA_DEVICE", "null");
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "chimecast-test";
    static char *argv[] = {name, nullptr};
    // Lives until the process ends; every test of the binary shares it.
    auto *app = new QApplication(argc, argv);
    app->setApplicationName(QStringLiteral("chimecast"));
    QApplication::setApplicationDisplayName(QStringLiteral("Chimecastr"));
    QApplication::setQuitOnLastWindowClosed(false);
}

void ProgramTest::SetUp()
{
    ensureTestApplication();
    dir_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(dir_->isValid());
    qputenv("CHIMECAST_HOME", dir_->path().toUtf8());
    destroyDbhouse();
    destroyAppSettings();
    setAppClock(&clock);
    MessageBox::setHook(&boxes);
}

void ProgramTest::TearDown()
{
    destroyDbhouse();
    destroyAppSettings();
    setPlayerControl(nullptr);
    MessageBox::setHook(nullptr);
    setAppClock(nullptr);
    qunsetenv("CHIMECAST_HOME");
    dir_.reset();
}

QString ProgramTest::home() const
{
    return dir_->path();
}

QString ProgramTest::path(const QString &relative) const
{
    return dir_->filePath(relative);
}

void ProgramTest::writeFile(const QString &relative, const QByteArray &bytes) const
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(p);
    f.write(bytes);
}

QByteArray ProgramTest::readFile(const QString &relative) const
{
    QFile f(path(relative));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void ProgramTest::exec(const QString &sql)
{
    Tdbhouse &db = dbhouse();
    if (!db.isOpen()) {
        QString error;
        ASSERT_TRUE(db.openDefault(&error)) << qPrintable(error);
    }
    QSqlQuery q(QSqlDatabase::database(db.connectionName()));
    ASSERT_TRUE(q.exec(sql)) << qPrintable(sql) << ": " << qPrintable(q.lastError().text());
}

QVariant ProgramTest::scalar(const QString &sql)
{
    Tdbhouse &db = dbhouse();
    if (!db.isOpen()) {
        QString error;
        EXPECT_TRUE(db.openDefault(&error)) << qPrintable(error);
    }
    QSqlQuery q(QSqlDatabase::database(db.connectionName()));
    if (!q.exec(sql) || !q.next()) {
        ADD_FAILURE() << qPrintable(sql) << ": " << qPrintable(q.lastError().text());
        return {};
    }
    return q.value(0);
}
