#pragma once

// The terminal's answers, given before any window starts: "chimecast --check [yyyy-MM-dd]"
// prints the check of that day (tomorrow by default) and "chimecast --log [yyyy-MM-dd]"
// prints that day's as-run log (today by default) as CSV. Both open the database
// read-only and never touch a running instance's state, so a service box can be checked
// over ssh or from cron.

#include <QString>
#include <QStringList>

#include <optional>

// Exit codes of --check.
constexpr int kCheckAllWell = 0;
constexpr int kCheckFoundProblems = 1;
constexpr int kTerminalUsageOrDatabaseError = 2;

// Whether the arguments (program name excluded) ask for a terminal mode.
bool isTerminalMode(const QStringList &args);

// Runs the mode the arguments name over the program folder's database, writing the result
// to `out` and errors to `err`; returns the exit code. A QCoreApplication must exist.
int runTerminalMode(const QStringList &args, QString &out, QString &err);
