#pragma once

// Turns one entry of today's timetable into the main player's play list: a file, the
// songs of a saved song list, the MP3 then WAV then MIDI files of a folder, or a network
// address handed to the stream player. Files that do not exist are left out.

#include "scheduler/broadcast_player.h"
#include "scheduler/schedule_store.h"

// The existing files one programme plays, in play order; none for a network address or
// an unknown kind.
QStringList programmeFiles(const TodayEntry &entry, ScheduleStore &store, FolderScanner &scanner);

// Why a programme of kind "1" to "3" has nothing to play, in the words of the as-run log
// (file missing, folder empty or missing, song list empty); for another kind, that it
// cannot be played.
QString emptyProgrammeReason(const TodayEntry &entry, ScheduleStore &store);

// Empties the play list and fills it with the programme's files (written to the list file
// once, after the last), or starts its network address on the stream player. Returns the
// number of files listed; -1 for a network address.
int fillPlayList(const TodayEntry &entry, BroadcastPlayer &player, ScheduleStore &store, FolderScanner &scanner);
