#include "platform/single_instance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Each start names its own runtime folder, as a service started without a login session
// and a desktop start of the same program folder do.
void useRuntimeFolder(const QString &dir)
{
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", dir.toUtf8());
}

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        qputenv("CHIMECAST_HOME", root.filePath(QStringLiteral("home")).toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("CHIMECAST_HOME");
        qunsetenv("XDG_RUNTIME_DIR");
    }
    QTemporaryDir root;
};

TEST_F(SingleInstanceTest, OneProgramFolderRunsOnceWhateverTheRuntimeFolder)
{
    useRuntimeFolder(root.filePath(QStringLiteral("run-a")));
    SingleInstance first;
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(QFile::exists(SingleInstance::lockPath()));

    useRuntimeFolder(root.filePath(QStringLiteral("run-b")));
    SingleInstance second;
    EXPECT_FALSE(second.acquire());
}

TEST_F(SingleInstanceTest, AnotherProgramFolderRunsBesideIt)
{
    useRuntimeFolder(root.filePath(QStringLiteral("run")));
    SingleInstance first;
    ASSERT_TRUE(first.acquire());

    qputenv("CHIMECAST_HOME", root.filePath(QStringLiteral("other")).toUtf8());
    SingleInstance second;
    EXPECT_TRUE(second.acquire());
}

TEST_F(SingleInstanceTest, ProgramFolderThatCannotTakeTheLockUsesTheRuntimeFolder)
{
    // A program folder below a plain file can be neither created nor written, even by root.
    QFile blocker(root.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("CHIMECAST_HOME", root.filePath(QStringLiteral("blocker/home")).toUtf8());
    useRuntimeFolder(root.filePath(QStringLiteral("run")));

    SingleInstance first;
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(QFile::exists(SingleInstance::fallbackLockPath()));
    SingleInstance second;
    EXPECT_FALSE(second.acquire());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
