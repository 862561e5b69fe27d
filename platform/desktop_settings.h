#pragma once
// The desktop's own sound and display settings programs, which stand where the Windows
// control-panel applets stood. One ordered list of known programs per panel; the first
// one installed on PATH is started. With none installed nothing happens (the log says so).

#include <QString>
#include <QStringList>

#include <optional>

enum class SettingsPanel { Sound, Display };

struct SettingsCommand
{
    QString program; // absolute path, as found on the search path
    QStringList arguments;
};

// The known programs for a panel, in the order they are tried: program name first, then
// its arguments.
QList<QStringList> knownSettingsPrograms(SettingsPanel panel);

// The first known program for `panel` found on `searchPath` (folders separated by ':',
// as in PATH); none when no known program is installed.
std::optional<SettingsCommand> settingsProgramFor(SettingsPanel panel, const QString &searchPath);

// Starts the panel's program found on this process's PATH, detached. False when none is
// installed or it failed to start; both are logged, nothing is shown.
bool startSettingsProgram(SettingsPanel panel);
