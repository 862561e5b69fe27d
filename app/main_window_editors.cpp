#include "app/main_window_editors.h"

#include "app/main_window.h"
#include "editors/timetable_editor.h"

void installEditors(TForm1 &main)
{
    TimetableEditorContext context;
    context.tab = main.TabSheet7;
    // Owned by its tab page.
    auto *timetable = new TimetableEditorTab(std::move(context), main.TabSheet7);
    main.setTabLoader(main.TabSheet7, [timetable] { timetable->load(); });
}
