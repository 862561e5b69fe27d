#include "sonvox/api/sv_player_client.h"

#include <chrono>

#include "sonvox/api/sv_sample_feedback.h"
#include "sonvox/engine/sv_errors.h"

namespace sonvox {

// ---- PlayerClient ----

PlayerClient::~PlayerClient()
{
    shutDown();
}

int PlayerClient::start()
{
    if (control_)
        return 0;
    return sv_engine_start(&control_, sv_builtin_start_list());
}

void PlayerClient::shutDown()
{
    if (!control_)
        return;
    sv_engine_stop(control_);
    sv_engine_free(control_); // drops what is still queued
    control_ = nullptr;
}

int PlayerClient::pump(int timeoutMs)
{
    if (!control_)
        return 0;
    sv_notification n{};
    if (sv_client_next(control_, &n, timeoutMs) != 1)
        return 0;
    dispatch(n);
    return 1;
}

void PlayerClient::drain()
{
    while (pump(0) == 1) {}
}

void PlayerClient::dispatch(const sv_notification &n)
{
    switch (n.code) {
    case SV_NOTE_READY: onReady(); break;
    case SV_NOTE_ACK: onAck(n.n[0]); break;
    case SV_NOTE_NACK: onNack(n.n[0], n.n[1]); break;
    case SV_NOTE_PONG: onPong(n.s[0]); break;
    case SV_NOTE_EXITED: onExited(); break;
    case SV_NOTE_PLAYER_STATE: onPlayerState(n.n[0]); break;
    case SV_NOTE_PLAYER_MODE: onPlayerMode(n.n[0]); break;
    case SV_NOTE_ENV_INT: onEnvironmentInt(n.s[0], n.n[0]); break;
    case SV_NOTE_ENV_STRING: onEnvironmentString(n.s[0], n.s[1]); break;
    case SV_NOTE_INPUT_STATE: onInputState(n.n[0]); break;
    case SV_NOTE_INPUT_NAME: onInputName(n.s[0]); break;
    case SV_NOTE_INPUT_CAPABILITIES: onInputCapabilities(n.n[0]); break;
    case SV_NOTE_POSITION: onPosition(n.n[0], n.n[1]); break;
    case SV_NOTE_POSITION_RANGE: onPositionRange(n.n[0]); break;
    case SV_NOTE_TIMECODE: onTimecode(n.n[0], n.n[1], n.n[2], n.n[3]); break;
    case SV_NOTE_TIMECODE_GRANULARITY: onTimecodeGranularity(n.n[0]); break;
    case SV_NOTE_INPUT_MODULE:
    case SV_NOTE_OUTPUT_MODULE:
    case SV_NOTE_CODEC_MODULE:
    case SV_NOTE_FEEDBACK_MODULE: onModuleId(n.code, n.n[0]); break;
    case SV_NOTE_INPUT_MODULE_INFO:
    case SV_NOTE_INPUT_DEVICE_INFO:
    case SV_NOTE_INPUT_FILTER_INFO:
    case SV_NOTE_OUTPUT_MODULE_INFO:
    case SV_NOTE_OUTPUT_DEVICE_INFO:
    case SV_NOTE_OUTPUT_FILTER_INFO:
    case SV_NOTE_CODEC_MODULE_INFO:
    case SV_NOTE_CODEC_DEVICE_INFO:
    case SV_NOTE_FEEDBACK_MODULE_INFO:
    case SV_NOTE_FEEDBACK_HANDLER_INFO: onModuleInfo(n); break;
    case SV_NOTE_OUTPUT_STATE: onOutputState(n.n[0]); break;
    case SV_NOTE_OUTPUT_NAME: onOutputName(n.s[0]); break;
    case SV_NOTE_OUTPUT_CAPABILITIES: onOutputCapabilities(n.n[0]); break;
    case SV_NOTE_OUTPUT_BALANCE:
    case SV_NOTE_OUTPUT_PCM_LEVEL:
    case SV_NOTE_OUTPUT_MASTER_LEVEL:
    case SV_NOTE_OUTPUT_PORTS: onOutputLevel(n.code, n.n[0]); break;
    case SV_NOTE_CODEC_SETTING_1:
    case SV_NOTE_CODEC_SETTING_2:
    case SV_NOTE_CODEC_EQUALIZER: onCodecSetting(n); break;
    case SV_NOTE_CONTENT_TYPE: onContentType(n.s[0]); break;
    case SV_NOTE_DURATION: onDuration(n.n[0]); break;
    case SV_NOTE_STREAM_PARAMETERS: onStreamParameters(n.n[0], n.n[1], n.n[2]); break;
    case SV_NOTE_STREAM_PROPERTIES: onStreamProperties(n.properties, n.property_count); break;
    case SV_NOTE_NOTIFICATION_MASK: onNotificationMask(n.n[0]); break;
    case SV_NOTE_DEBUG_LEVEL: onDebugLevel(n.n[0]); break;
    case SV_NOTE_PROGRESS: onProgress(n.n[0], n.n[1], n.n[2], n.s[0]); break;
    case SV_NOTE_DEBUG: onDebug(n.n[0], n.n[1], n.s[0]); break;
    case SV_NOTE_ERROR: onError(n.n[0], n.n[1], n.s[0]); break;
    case SV_NOTE_DATA: onData(n.n[0], n.n[1], n.data, n.size); break;
    case SV_NOTE_FEEDBACK_RATE: onFeedbackRate(n.n[0]); break;
    case SV_NOTE_FEEDBACK_STATE: onFeedbackState(n.n[0]); break;
    case SV_NOTE_FEEDBACK_NAME: onFeedbackName(n.s[0]); break;
    case SV_NOTE_FEEDBACK_ENV_INT: onFeedbackEnvironmentInt(n.s[0], n.n[0]); break;
    default: break; // codes without a handler (96, 98, 100, 157..159) are never sent
    }
}

// ---- Mp3Player ----

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

Mp3Player::Mp3Player(const sv_panel *panel, int width, int height, int bands)
    : panelId_(sv_panel_table_add(panel, width, height, bands))
{}

Mp3Player::~Mp3Player()
{
    shutDown(); // the feedback thread, and with it every view, ends here
    if (panelId_)
        sv_panel_table_remove(panelId_);
}

int Mp3Player::create()
{
    const int rc = start();
    if (rc < 0)
        return rc;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kReadyWaitMs);
    while (!ready_ && pump(remainingMs(deadline)) == 1) {}
    return 0;
}

void Mp3Player::onReady()
{
    ready_ = true;
    sv_engine *c = control();
    // Close the sound device whenever playback is stopped.
    sv_send_int(c, SV_CMD_SET_PLAYER_MODE, SV_MODE_CLOSE_ON_STOP);
    // Module debug reports carry the reasons behind refused opens.
    sv_send_int(c, SV_CMD_SET_DEBUG_LEVEL, 1);
    if (!panelId_)
        return; // no panel: no feedback events, no view
    sv_send_int(c, SV_CMD_SET_FEEDBACK_RATE, 100);
    sv_send_name_int(c, SV_CMD_SET_FEEDBACK_ENV_INT, SV_FEEDBACK_WINDOW_VARIABLE, panelId_);
    char module[64];
    if (sv_module_address_name(sv_sample_feedback_register, module, sizeof module) > 0)
        sv_send_string(c, SV_CMD_REGISTER_FEEDBACK, module);
    sv_send_string(c, SV_CMD_SELECT_FEEDBACK_NAME, "sample-spectrum");
    sv_send_none(c, SV_CMD_FEEDBACK_START);
}

void Mp3Player::onAck(int command)
{
    if (command == SV_CMD_PLAY) {
        ++playsAnswered_;
        lastPlayResult_ = 0;
    }
    if (command != SV_CMD_INPUT_OPEN)
        return;
    ++opensAnswered_;
    lastOpenResult_ = 0;
}

void Mp3Player::onNack(int command, int error)
{
    const int code = error < 0 ? error : SV_ERR_INTERNAL;
    if (command == SV_CMD_PLAY) {
        ++playsAnswered_;
        lastPlayResult_ = code;
    }
    if (command == SV_CMD_PLAY || command == SV_CMD_INPUT_OPEN || command == SV_CMD_OUTPUT_OPEN)
        noteError(code, lastDebug_);
    if (command != SV_CMD_INPUT_OPEN)
        return;
    ++opensAnswered_;
    lastOpenResult_ = code;
}

void Mp3Player::onDebug(int, int, const char *text)
{
    lastDebug_ = text ? text : "";
}

void Mp3Player::onError(int, int code, const char *text)
{
    noteError(code < 0 ? code : SV_ERR_INTERNAL, text ? text : "");
}

void Mp3Player::noteError(int code, const std::string &reason)
{
    errorCode_ = code;
    errorText_ = sv_error_text(code);
    if (!reason.empty())
        errorText_ += (errorText_.empty() ? "" : ": ") + reason;
}

int Mp3Player::lastError(std::string *text)
{
    drain();
    if (text)
        *text = errorText_;
    return errorCode_;
}

void Mp3Player::onPlayerState(int state)
{
    if (state >= SV_STATE_STOPPED && state <= SV_STATE_END_OF_STREAM)
        state_ = state;
}

void Mp3Player::onInputState(int closed)
{
    // A newly opened input comes before its own stream reports: forget the last file's
    // values, so that a file that reports nothing reads as 0 rather than as its
    // predecessor.
    if (closed == 0)
        frequency_ = duration_ = 0;
}

void Mp3Player::onDuration(int seconds)
{
    duration_ = seconds;
}

void Mp3Player::onStreamParameters(int frequency, int, int)
{
    frequency_ = frequency;
}

int Mp3Player::postOpen(const char *file)
{
    const int rc = sv_send_string(control(), SV_CMD_INPUT_OPEN, file);
    if (rc == 0)
        ++opensPosted_;
    return rc;
}

void Mp3Player::info(const char *file, int *frequency, int *seconds)
{
    int hz = 0, secs = 0;
    drain();
    if (file && control() && postOpen(file) == 0) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kInfoWaitMs);
        // Every open posted so far must be answered: the answer to this one comes last.
        while (opensAnswered_ < opensPosted_ && pump(remainingMs(deadline)) == 1) {}
        // The stream parameters of a file that is already playing may follow its first
        // decoded block rather than the open.
        while (opensAnswered_ == opensPosted_ && lastOpenResult_ == 0 && frequency_ == 0 && state_ == SV_STATE_PLAYING
               && pump(remainingMs(deadline)) == 1) {}
        if (opensAnswered_ == opensPosted_ && lastOpenResult_ == 0) {
            hz = frequency_;
            secs = duration_;
        }
    }
    if (frequency)
        *frequency = hz;
    if (seconds)
        *seconds = secs;
}

int Mp3Player::play(const char *file)
{
    drain();
    errorCode_ = 0;
    errorText_.clear();
    lastDebug_.clear();
    if (postOpen(file) < 0 || sv_send_none(control(), SV_CMD_PLAY) < 0)
        return 0;
    ++playsPosted_;
    // The player opens the file and the sound device before it answers the play; a
    // refusal within the wait is this call's failure, a later one shows in lastError().
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kPlayWaitMs);
    while (playsAnswered_ < playsPosted_ && pump(remainingMs(deadline)) == 1) {}
    return playsAnswered_ == playsPosted_ && lastPlayResult_ < 0 ? 0 : 1;
}

int Mp3Player::stop()
{
    drain();
    return sv_send_none(control(), SV_CMD_STOP);
}

int Mp3Player::pause()
{
    drain();
    return sv_send_none(control(), SV_CMD_PAUSE);
}

int Mp3Player::resume()
{
    drain();
    return sv_send_none(control(), SV_CMD_PLAY);
}

} // namespace sonvox
