#include "app/server_probe.h"

#include <QElapsedTimer>
#include <QMetaObject>

ServerProbe::ServerProbe(QObject *parent)
    : QObject(parent)
{}

ServerProbe::~ServerProbe()
{
    if (thread_.joinable())
        thread_.join();
}

void ServerProbe::start(const ServerConfig &config)
{
    if (running_)
        return;
    if (thread_.joinable())
        thread_.join(); // the previous probe has reported, so this returns at once
    running_ = true;
    thread_ = std::thread([this, config] {
        QElapsedTimer timer;
        timer.start();
        QString why;
        const bool answered = SharedServer::probe(config, &why);
        const qint64 ms = timer.elapsed();
        // Queued to this object's thread; dropped when the object is gone meanwhile.
        QMetaObject::invokeMethod(
            this,
            [this, answered, why, ms] {
                running_ = false;
                Q_EMIT finished(answered, why, ms);
            },
            Qt::QueuedConnection);
    });
}
