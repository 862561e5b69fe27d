#pragma once
// Puts the song-list editor into the main window's tab "歌曲列表编辑" and registers what the
// tab loads when it is selected.

class TForm1;

void installSongLists(TForm1 &main);
