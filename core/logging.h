#pragma once
// The program's log: one category per subsystem, written to stderr (the journal keeps it
// when the program runs as a service). QT_LOGGING_RULES switches categories, e.g.
// QT_LOGGING_RULES="chimecast.scheduler.info=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)       // chimecast.app: start-up, main window, message boxes
Q_DECLARE_LOGGING_CATEGORY(lcCore)      // chimecast.core: program folder, settings
Q_DECLARE_LOGGING_CATEGORY(lcDb)        // chimecast.db: the data module
Q_DECLARE_LOGGING_CATEGORY(lcScheduler) // chimecast.scheduler: programmes started, ended, skipped
Q_DECLARE_LOGGING_CATEGORY(lcPlayer)    // chimecast.player: the main player and its list
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)  // chimecast.platform: power-off, media layer
Q_DECLARE_LOGGING_CATEGORY(lcWindows)   // chimecast.windows: the auxiliary windows
Q_DECLARE_LOGGING_CATEGORY(lcSongLists) // chimecast.songlists: song lists and their archives

// The line format of the log: time to the second, level, category, message.
inline constexpr char kLogMessagePattern[] =
    "%{time yyyy-MM-dd HH:mm:ss} %{if-debug}debug%{endif}%{if-info}info%{endif}%{if-warning}warning%{endif}"
    "%{if-critical}critical%{endif}%{if-fatal}fatal%{endif} %{category}: %{message}";

// Installs kLogMessagePattern for every later message (QT_MESSAGE_PATTERN still wins).
void installLogMessagePattern();
