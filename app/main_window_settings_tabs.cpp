#include "app/main_window_settings_tabs.h"

#include "app/main_window.h"
#include "editors/help_folder.h"
#include "editors/system_settings.h"
#include "editors/weekly_assignment.h"

#include <QDebug>
#include <QPointer>
#include <QSlider>
#include <QVBoxLayout>

namespace {

template <typename Tab> Tab *fill(QWidget *sheet, Tab *tab)
{
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(tab);
    return tab;
}

} // namespace

void installSettingsTabs(TForm1 &main, QSlider *balance)
{
    QString error;
    if (!ensureHelpFolder(&error))
        qWarning().noquote() << QStringLiteral("chimecast: help folder not made:") << error;

    auto *weekly = fill(main.TabSheet3, new WeeklyAssignmentTab(main.TabSheet3));
    main.setTabLoader(main.TabSheet3, [weekly] { weekly->load(); });

    SystemSettingsContext context = runningProgramSettingsContext();
    QPointer<QSlider> balanceSlider(balance);
    context.balance = [balanceSlider] { return balanceSlider ? balanceSlider->value() : 13; };
    auto *settings = fill(main.TabSheet4, new SystemSettingsTab(std::move(context), main.TabSheet4));
    main.setTabLoader(main.TabSheet4, [settings] { settings->load(); });

    fill(main.TabSheet6, new HelpTab(main.TabSheet6));
}
