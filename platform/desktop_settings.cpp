#include "platform/desktop_settings.h"

#include "core/logging.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

QStringList words(const char *line)
{
    return QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

QList<QStringList> knownSettingsPrograms(SettingsPanel panel)
{
    if (panel == SettingsPanel::Sound) {
        return {words("gnome-control-center sound"),    words("pavucontrol"),         words("pavucontrol-qt"),
                words("systemsettings kcm_pulseaudio"), words("mate-volume-control"), words("xfce4-mixer")};
    }
    return {words("gnome-control-center display"),
            words("systemsettings kcm_kscreen"),
            words("mate-display-properties"),
            words("xfce4-display-settings"),
            words("lxrandr"),
            words("arandr")};
}

std::optional<SettingsCommand> settingsProgramFor(SettingsPanel panel, const QString &searchPath)
{
    const QStringList folders = searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (folders.isEmpty())
        return std::nullopt;
    for (const QStringList &known : knownSettingsPrograms(panel)) {
        const QString found = QStandardPaths::findExecutable(known.first(), folders);
        if (!found.isEmpty())
            return SettingsCommand{found, known.mid(1)};
    }
    return std::nullopt;
}

bool startSettingsProgram(SettingsPanel panel)
{
    const char *which = panel == SettingsPanel::Sound ? "sound" : "display";
    const auto command = settingsProgramFor(panel, qEnvironmentVariable("PATH"));
    if (!command) {
        qCInfo(lcPlatform) << "no" << which << "settings program is installed";
        return false;
    }
    if (!QProcess::startDetached(command->program, command->arguments)) {
        qCWarning(lcPlatform).noquote()
            << QStringLiteral("the %1 settings program %2 did not start").arg(QLatin1String(which), command->program);
        return false;
    }
    qCInfo(lcPlatform).noquote()
        << QStringLiteral("started %1 %2").arg(command->program, command->arguments.join(QLatin1Char(' ')));
    return true;
}
