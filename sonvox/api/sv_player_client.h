// Client side of one engine: PlayerClient owns the control handle, takes the engine's
// notifications off the client queue and hands each to a handler; Mp3Player is the
// instance behind the exported functions.
//
// Threads: everything here runs on the client's thread (the exports hold the library
// lock while they use an instance); the engine's own threads never touch these objects.
#ifndef SONVOX_API_SV_PLAYER_CLIENT_H
#define SONVOX_API_SV_PLAYER_CLIENT_H

#include <string>

#include "sonvox.h"
#include "sonvox/engine/sv_engine.h"

namespace sonvox {

class PlayerClient
{
public:
    PlayerClient() = default;
    PlayerClient(const PlayerClient &) = delete;
    PlayerClient &operator=(const PlayerClient &) = delete;
    // Stops the engine (waiting for its threads) and frees the handle.
    virtual ~PlayerClient();

    // Starts the engine with the built-in modules. 0 or an engine error code.
    int start();
    // Stops the engine and frees the handle; the client then sends nothing.
    void shutDown();
    sv_engine *control() const { return control_; }

    // Takes one notification (waiting up to timeoutMs; 0 = do not wait) and dispatches
    // it. Returns 1 when one was handled, 0 when none came.
    int pump(int timeoutMs);
    // Handles every notification already queued.
    void drain();
    // Calls the handler of the notification's code; unknown codes are ignored.
    void dispatch(const sv_notification &n);

protected:
    // One handler per notification; all of them do nothing here.
    virtual void onReady() {}
    virtual void onAck(int /*command*/) {}
    virtual void onNack(int /*command*/, int /*error*/) {}
    virtual void onPong(const char * /*text*/) {}
    virtual void onExited() {}
    virtual void onPlayerState(int /*state*/) {}
    virtual void onPlayerMode(int /*mode*/) {}
    virtual void onEnvironmentInt(const char * /*name*/, int /*value*/) {}
    virtual void onEnvironmentString(const char * /*name*/, const char * /*value*/) {}
    virtual void onInputState(int /*closed*/) {}
    virtual void onInputName(const char * /*name*/) {}
    virtual void onInputCapabilities(int /*caps*/) {}
    virtual void onPosition(int /*offset*/, int /*range*/) {}
    virtual void onPositionRange(int /*range*/) {}
    virtual void onTimecode(int /*h*/, int /*m*/, int /*s*/, int /*hundredths*/) {}
    virtual void onTimecodeGranularity(int /*granularity*/) {}
    // 89 input, 106 output, 116 codec, 152 feedback-handler module id.
    virtual void onModuleId(int /*code*/, int /*id*/) {}
    // 90..92, 107..109, 117, 118, 153, 155: module, device and filter information.
    virtual void onModuleInfo(const sv_notification & /*n*/) {}
    virtual void onOutputState(int /*closed*/) {}
    virtual void onOutputName(const char * /*name*/) {}
    virtual void onOutputCapabilities(int /*caps*/) {}
    // 101 balance, 102 pcm level, 103 master level, 105 ports.
    virtual void onOutputLevel(int /*code*/, int /*value*/) {}
    // 104 setting 1, 114 setting 2, 115 equaliser (data/size).
    virtual void onCodecSetting(const sv_notification & /*n*/) {}
    virtual void onContentType(const char * /*type*/) {}
    virtual void onDuration(int /*seconds*/) {}
    virtual void onStreamParameters(int /*frequency*/, int /*bitrate*/, int /*channels*/) {}
    virtual void onStreamProperties(const sv_message_property * /*items*/, int /*count*/) {}
    virtual void onNotificationMask(int /*mask*/) {}
    virtual void onDebugLevel(int /*level*/) {}
    virtual void onProgress(int /*source*/, int /*code*/, int /*value*/, const char * /*text*/) {}
    virtual void onDebug(int /*source*/, int /*level*/, const char * /*text*/) {}
    virtual void onError(int /*source*/, int /*code*/, const char * /*text*/) {}
    virtual void onData(int /*source*/, int /*id*/, const void * /*data*/, int /*size*/) {}
    virtual void onFeedbackRate(int /*rate*/) {}
    virtual void onFeedbackState(int /*stopped*/) {}
    virtual void onFeedbackName(const char * /*name*/) {}
    virtual void onFeedbackEnvironmentInt(const char * /*name*/, int /*value*/) {}

private:
    sv_engine *control_ = nullptr;
};

// The player instance of the exported API: one engine, the panel it draws into, and
// what the engine has reported about the current file.
class Mp3Player : public PlayerClient
{
public:
    // Time svGetMp3Info waits for the player to answer an input open.
    static constexpr int kInfoWaitMs = 2000;
    // Time creation waits for the engine's ready notification.
    static constexpr int kReadyWaitMs = 1000;
    // Time svPlayMp3 waits for the player to answer the play command (the sound device
    // is opened before that answer).
    static constexpr int kPlayWaitMs = 1000;

    // Registers the panel copy (when it has a callback) with the picture size and band
    // count that the views will use.
    Mp3Player(const sv_panel *panel, int width, int height, int bands);
    ~Mp3Player() override;

    // Starts the engine and handles its ready notification (the set-up commands).
    int create();

    // Exports, on this instance.
    void info(const char *file, int *frequency, int *seconds);
    int play(const char *file);
    int stop();
    int pause();
    int resume();

    int state() const { return state_; }
    // The latest refusal or error since the last play: its code (0: none) and text,
    // "no such device: cannot open sound device (No such file or directory)".
    int lastError(std::string *text);

protected:
    void onReady() override;
    void onAck(int command) override;
    void onNack(int command, int error) override;
    void onPlayerState(int state) override;
    void onInputState(int closed) override;
    void onDuration(int seconds) override;
    void onStreamParameters(int frequency, int bitrate, int channels) override;
    void onDebug(int source, int level, const char *text) override;
    void onError(int source, int code, const char *text) override;

private:
    int postOpen(const char *file);

    int panelId_ = 0;    // 0: no picture
    bool ready_ = false; // notification 73 handled
    int state_ = SV_STATE_STOPPED;
    int frequency_ = 0; // Hz, from the latest stream parameters
    int duration_ = 0;  // whole seconds, from the latest duration report
    // Input opens posted and answered (ack or nack of command 8), and the answer to the
    // latest one (0 or its error).
    long opensPosted_ = 0;
    long opensAnswered_ = 0;
    int lastOpenResult_ = 0;
    // Play commands posted and answered, and the answer to the latest one.
    long playsPosted_ = 0;
    long playsAnswered_ = 0;
    int lastPlayResult_ = 0;
    // What went wrong since the last play: a refused command's code with the module's
    // last debug report as its reason, or an error notification.
    int errorCode_ = 0;
    std::string errorText_;
    std::string lastDebug_;
    void noteError(int code, const std::string &reason);
};

} // namespace sonvox

#endif
