#include "scheduler/programme_outcome.h"

#include "db/as_run_log.h"

void ProgrammeOutcome::begin(bool stream, const QString &fillProblem)
{
    stream_ = stream;
    played_ = false;
    streamFailed_ = false;
    reason_ = fillProblem;
}

void ProgrammeOutcome::itemPlayed(const QString &)
{
    if (played_)
        return;
    played_ = true;
    if (onFirstPlayed)
        onFirstPlayed();
}

void ProgrammeOutcome::itemFailed(const QString &, const QString &reason)
{
    fail(reason);
}

void ProgrammeOutcome::outputFailed()
{
    fail(AsRunReason::noSoundDevice);
}

void ProgrammeOutcome::streamPlayed()
{
    itemPlayed(QString());
}

void ProgrammeOutcome::streamFailed(const QString &detail)
{
    if (!played_)
        streamFailed_ = true;
    fail(detail.isEmpty() ? AsRunReason::streamDead : AsRunReason::streamDead + QStringLiteral("：") + detail);
}

void ProgrammeOutcome::fail(const QString &reason)
{
    if (reason_.isEmpty())
        reason_ = reason;
}

bool ProgrammeOutcome::anyPlayed() const
{
    if (played_)
        return true;
    return stream_ && !streamFailed_ && reason_.isEmpty();
}

QString ProgrammeOutcome::reason() const
{
    return anyPlayed() ? QString() : reason_;
}
