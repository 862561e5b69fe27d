#include "player/sonvox_engine.h"

#include <QFile>

SonvoxEngine::SonvoxEngine(const sv_panel *panel, int width, int height)
    : width_(width),
      height_(height)
{
    if (panel) {
        panel_ = *panel;
        hasPanel_ = true;
    }
}

SonvoxEngine::~SonvoxEngine()
{
    svFreeMp3();
}

void SonvoxEngine::stop()
{
    svStopMp3();
}

void SonvoxEngine::init()
{
    svInitMp3(nullptr, hasPanel_ ? &panel_ : nullptr, width_, height_, kBands);
}

void SonvoxEngine::play(const QString &path)
{
    svPlayMp3(QFile::encodeName(path).constData());
}

int SonvoxEngine::lengthSecs(const QString &path)
{
    int frequency = 0;
    int seconds = 0;
    svGetMp3Info(QFile::encodeName(path).constData(), &frequency, &seconds);
    return seconds;
}

QString SonvoxEngine::failure()
{
    char text[512] = {};
    return svGetMp3Error(text, sizeof text) < 0 ? QString::fromUtf8(text) : QString();
}

bool SonvoxEngine::failureIsSoundDevice()
{
    char text[8] = {};
    const int code = svGetMp3Error(text, sizeof text);
    return code == SONVOX_ERR_NO_SUCH_DEVICE || code == SONVOX_ERR_DEVICE_BUSY;
}

void SonvoxEngine::pause()
{
    svPauseMp3();
}

void SonvoxEngine::resume()
{
    svResumeMp3();
}
