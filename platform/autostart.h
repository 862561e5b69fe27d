#pragma once
// Start at login: the XDG autostart entry that a desktop session reads when the user logs
// in (~/.config/autostart/chimecast.desktop, under $XDG_CONFIG_HOME when it is set).
//
// The entry starts the running executable by its absolute path; a portable install (a
// program folder given by CHIMECAST_HOME) is started through `env` with that folder, so
// the program started at login uses the same data as the one that wrote the entry.

#include <QString>

// Where the desktop looks for the entry of this program.
QString defaultAutostartEntryPath();

// The text of the entry for `executable` (an absolute path) and `programHome` (the value
// of CHIMECAST_HOME, empty when it is not set). Arguments of Exec= are quoted and escaped
// as the desktop entry format asks, so paths with blanks or quotes survive.
QString autostartEntryText(const QString &executable, const QString &programHome);

// Writes the entry atomically (temporary file renamed over the old one). On failure
// returns false with *error naming the file and the reason.
bool writeAutostartEntry(const QString &entryPath, const QString &executable, const QString &programHome,
                         QString *error);
// Deletes the entry; a missing entry is no error.
bool removeAutostartEntry(const QString &entryPath, QString *error);
