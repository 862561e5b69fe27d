#pragma once
// Recording stand-ins for the two engines the main player drives.

#include "platform/media_player.h"
#include "player/library_engine.h"

#include <QHash>
#include <QString>
#include <QStringList>

// Every call is logged as "lib:<call>[:<path>]".
class FakeLibrary final : public LibraryEngine
{
public:
    void stop() override { note(QStringLiteral("lib:stop")); }
    void init() override { note(QStringLiteral("lib:init")); }
    void play(const QString &path) override
    {
        note(QStringLiteral("lib:play:") + path);
        playing = path;
    }
    QString failure() override { return failures.value(playing); }
    int lengthSecs(const QString &path) override
    {
        note(QStringLiteral("lib:length:") + path);
        return lengths.value(path, 0);
    }
    void pause() override { note(QStringLiteral("lib:pause")); }
    void resume() override { note(QStringLiteral("lib:resume")); }

    QHash<QString, int> lengths;      // whole seconds; unknown files read as 0
    QHash<QString, QString> failures; // the library's reason for a file it cannot play
    QString playing;
    QStringList log;
    QStringList *journal = nullptr; // when set, also receives every call, in order

private:
    void note(const QString &call)
    {
        log.append(call);
        if (journal)
            journal->append(call);
    }
};

// Every call is logged as "media:<call>[:<path>]".
class FakeMedia final : public MediaPlayer
{
public:
    bool open(const QString &path, QString *error = nullptr) override
    {
        note(QStringLiteral("media:open:") + path);
        if (unplayable.contains(path)) {
            if (error)
                *error = QStringLiteral("cannot open");
            open_.clear();
            return false;
        }
        open_ = path;
        return true;
    }
    bool play(QString * = nullptr) override
    {
        note(QStringLiteral("media:play"));
        return !open_.isEmpty();
    }
    void pause() override { note(QStringLiteral("media:pause")); }
    bool resume(QString * = nullptr) override
    {
        note(QStringLiteral("media:resume"));
        return !open_.isEmpty();
    }
    void stop() override { note(QStringLiteral("media:stop")); }
    void close() override
    {
        note(QStringLiteral("media:close"));
        open_.clear();
    }
    bool isOpen() const override { return !open_.isEmpty(); }
    qint64 positionMs() const override { return open_.isEmpty() ? -1 : 0; }
    qint64 lengthMs() const override { return open_.isEmpty() ? -1 : lengthsMs.value(open_, 0); }
    bool finished() const override { return false; }

    QHash<QString, qint64> lengthsMs;
    QStringList unplayable;
    QStringList log;
    QStringList *journal = nullptr; // when set, also receives every call, in order

private:
    void note(const QString &call)
    {
        log.append(call);
        if (journal)
            journal->append(call);
    }
    QString open_;
};
