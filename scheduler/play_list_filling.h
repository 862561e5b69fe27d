#pragma once

// Turns one entry of today's timetable into the main player's play list: a file, the
// songs of a saved song list, the MP3 then WAV then MIDI files of a folder, or a network
// address handed to the stream player. Files that do not exist are left out.

#include "scheduler/broadcast_player.h"
#include "scheduler/schedule_store.h"

// The existing files one programme plays, in play order; none for a network address or
// an unknown kind.
QStringList programmeFiles(const TodayEntry &entry, ScheduleStore &store, FolderScanner &scanner);

// Empties the play list and fills it with the programme's files (written to the list file
// once, after the last), or starts its network address on the stream player.
void fillPlayList(const TodayEntry &entry, BroadcastPlayer &player, ScheduleStore &store, FolderScanner &scanner);
