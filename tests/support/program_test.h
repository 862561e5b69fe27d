#pragma once
// Test support for program tests: one offscreen QApplication for the whole test binary,
// and a fixture that gives each test a fresh temporary program folder (CHIMECAST_HOME),
// a FixedClock, message boxes that record their texts and answer questions, and a clean
// settings object and data module.

#include "core/clock.h"
#include "core/message_box.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>

class Tdbhouse;

// Records every box; questions are answered from `answers` (front first), then with
// `defaultAnswer`.
class RecordingMessageBoxes : public MessageBoxHook
{
public:
    void information(const QString &text) override { shown.append(text); }
    bool askYesNo(const QString &title, const QString &text) override
    {
        questions.append(title + QLatin1Char('|') + text);
        if (answers.empty())
            return defaultAnswer;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }

    QStringList shown;
    QStringList questions;
    std::deque<bool> answers;
    bool defaultAnswer = true;
};

// Sets the test environment (offscreen platform, dry-run power-off, null sound device) and
// creates the one QApplication of the process when it does not exist yet.
void ensureTestApplication();

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The temporary program folder and paths inside it.
    QString home() const;
    QString path(const QString &relative) const;
    // Writes a file inside the program folder (parent folders created).
    void writeFile(const QString &relative, const QByteArray &bytes) const;
    QByteArray readFile(const QString &relative) const;

    // Runs SQL on the program-wide data module's connection (opened on the program folder's
    // database when needed); fails the test on an error.
    void exec(const QString &sql);
    // First column of the first row of a query on that connection.
    QVariant scalar(const QString &sql);

    // Thursday 14 March 2024, 08:00:00 unless a test sets another time.
    FixedClock clock{QDateTime(QDate(2024, 3, 14), QTime(8, 0))};
    RecordingMessageBoxes boxes;

private:
    std::unique_ptr<QTemporaryDir> dir_;
};
