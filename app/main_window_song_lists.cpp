#include "app/main_window_song_lists.h"

#include "app/main_window.h"
#include "editors/song_list_tab.h"

void installSongLists(TForm1 &main)
{
    SongListTabContext context;
    context.tab = main.TabSheet2;
    // Owned by its tab page.
    auto *songLists = new SongListTab(std::move(context), main.TabSheet2);
    main.setTabLoader(main.TabSheet2, [songLists] { songLists->load(); });
}
