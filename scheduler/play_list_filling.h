#pragma once

// Turns one entry of today's timetable into the main player's play list: a file, the
// songs of a saved song list, the MP3 then WAV then MIDI files of a folder, or a network
// address handed to the stream player. Files that do not exist are skipped silently.

#include "scheduler/broadcast_player.h"
#include "scheduler/schedule_store.h"

void fillPlayList(const TodayEntry &entry, BroadcastPlayer &player, ScheduleStore &store, FolderScanner &scanner);
