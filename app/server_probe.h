#pragma once
// The minute retry's question to the timetable server, asked off the clock's thread: a
// server that does not answer costs the probe thread up to the connect timeout, never the
// user-interface thread that runs the clock and the dispatcher.

#include "db/shared_server.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

class ServerProbe : public QObject
{
    Q_OBJECT
public:
    explicit ServerProbe(QObject *parent = nullptr);
    // Waits for a probe still under way (at most the connect timeout).
    ~ServerProbe() override;

    bool running() const { return running_; }
    // Starts one probe unless one is under way; finished() follows on this object's thread.
    void start(const ServerConfig &config);

Q_SIGNALS:
    void finished(bool answered, const QString &error, qint64 elapsedMs);

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
};
