#pragma once
// Where a player's timetables come from: the local file (the default) or a PostgreSQL server
// shared by the players of a site, copied into the local file (the mirror) before every
// resolution. A server that cannot be reached leaves the last copy in place: the player
// resolves from it and says so.

#include "db/shared_server.h"

#include <QDateTime>
#include <QString>

#include <memory>

class TGlobal;
class Tdbhouse;

// The server settings (strdbtype "pgsql"); null when the player uses its local file only.
// A configuration that cannot be used still gives a server (which never connects), so the
// player keeps resolving from its mirror and tells why.
std::unique_ptr<SharedServer> serverFromSettings(const TGlobal &settings);

struct TimetableSource
{
    enum class Kind { localFile, server, mirror, noMirror };
    Kind kind = Kind::localFile;
    QDateTime mirrorAt; // time of the copy in use (server and mirror)
    QString notice;     // for the main window's first tab; empty when all is well
};

// Before a resolution: copies the server's shared tables into the local mirror. When the
// server is down or the copy fails, the mirror stays as it was and the notice says how old
// it is. Never connects to a server that is down (the minute retry does that, off the
// clock's thread), so it never waits on a dead server.
TimetableSource refreshSharedTables(Tdbhouse &db, const QDateTime &now);

// "本地文件 <path>" or "PostgreSQL 服务器 user@host:port/db", for --check and the log.
QString databaseDescription(const Tdbhouse &db);
// The mirror line of --check: its age, or that there is none (empty without a server).
QString mirrorDescription(const Tdbhouse &db, const QDateTime &now);
