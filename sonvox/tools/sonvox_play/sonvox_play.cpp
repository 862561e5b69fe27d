// sonvox-play: plays files and streams through the Sonvox engine, or converts them
// to raw or WAV files.
//
//   sonvox-play [-o OUTPUT] [-q] [--no-gapless] FILE|URL...
//   sonvox-play --version
//
// Each input is opened, its format, duration and tag properties are printed, and it is
// played to OUTPUT (default: the sound card). Information and progress go to standard
// error so that "-o wav:-" can write the samples to standard output. The exit status is
// 0 when every input played, 1 when one could not be played, 2 for a usage error.
#include <getopt.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sonvox/engine/sv_engine.h"

namespace {

volatile sig_atomic_t interrupted = 0;

void on_signal(int)
{
    interrupted = 1;
}

void usage(FILE *to)
{
    std::fprintf(to, "Usage: sonvox-play [-o OUTPUT] [-q] [--no-gapless] FILE|URL...\n"
                     "Plays each input through the Sonvox engine.\n"
                     "\n"
                     "  -o OUTPUT  where the sound goes (default: the sound card)\n"
                     "             /dev/wave/0   the default ALSA device\n"
                     "             /dev/wave/N   ALSA card N-1 (N = 1..9)\n"
                     "             raw:PATH      raw 16-bit little-endian samples\n"
                     "             wav:PATH      a WAV file (\"-\" as PATH: standard output)\n"
                     "             aiff:PATH     an AIFF file\n"
                     "             sun:PATH      a Sun .au file\n"
                     "  -q         print nothing but errors\n"
                     "  --no-gapless  play an MP3's Info frame, encoder delay and padding too\n"
                     "             (by default they are cut, so the file plays exactly the\n"
                     "             samples that were encoded)\n"
                     "  -h         show this help\n"
                     "  --version  print the version and exit\n"
                     "\n"
                     "SONVOX_ALSA_DEVICE names the ALSA device the sound card output uses.\n");
}

std::string clock_text(int seconds)
{
    char buf[32];
    if (seconds >= 3600)
        std::snprintf(buf, sizeof buf, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(buf, sizeof buf, "%02d:%02d", seconds / 60, seconds % 60);
    return buf;
}

std::string channels_text(int channels)
{
    return channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + " channels";
}

// What the engine has told us about the stream being played.
struct StreamInfo
{
    std::string content_type;
    int duration = -1; // seconds, -1 unknown
    int frequency = 0, bitrate = 0, channels = 0;
    std::vector<std::pair<std::string, std::string>> properties;
    bool printed = false;
};

class Player
{
public:
    Player(bool quiet)
        : quiet_(quiet),
          progress_(!quiet && isatty(STDERR_FILENO))
    {}
    ~Player()
    {
        if (engine_)
            sv_engine_free(engine_);
    }

    int start(bool gapless)
    {
        int err = sv_engine_start(&engine_, sv_builtin_start_list());
        if (err < 0)
            return err;
        sv_notification n;
        while (sv_client_next(engine_, &n, 10000) == 1)
            if (n.code == SV_NOTE_READY)
                break;
        // Module debug reports carry the reasons behind open failures.
        sv_send_int(engine_, SV_CMD_SET_DEBUG_LEVEL, 1);
        if (!gapless)
            sv_send_name_int(engine_, SV_CMD_SET_ENV_INT, "mpeg/gapless", 0);
        sv_send_int(engine_, SV_CMD_SET_PLAYER_MODE, 0);
        return command_result(SV_CMD_SET_PLAYER_MODE);
    }

    int open_output(const std::string &name)
    {
        // Names the sound-card output does not take go to the file output.
        to_file_ = !name.empty() && name.rfind("/dev/wave/", 0) != 0;
        sv_send_string(engine_, SV_CMD_OUTPUT_OPEN, name.c_str());
        return command_result(SV_CMD_OUTPUT_OPEN);
    }

    // Closing the output plays out what is queued and finishes a WAV header.
    int close_output()
    {
        sv_send_none(engine_, SV_CMD_OUTPUT_CLOSE);
        int err = command_result(SV_CMD_OUTPUT_CLOSE);
        return report_failed_ ? report_code_ : err;
    }

    // Plays one input to its end. Returns 0 or the error that stopped it.
    int play(const std::string &input)
    {
        info_ = StreamInfo{};
        title_.clear();
        buffering_ = false;
        announced_ = false;
        report_failed_ = false;
        reason_.clear();
        sv_send_string(engine_, SV_CMD_INPUT_OPEN, input.c_str());
        int err = command_result(SV_CMD_INPUT_OPEN);
        if (err < 0)
            return err;
        if (!format_fits_file()) {
            sv_send_none(engine_, SV_CMD_INPUT_CLOSE);
            command_result(SV_CMD_INPUT_CLOSE);
            return SV_ERR_UNSUPPORTED_FORMAT;
        }
        if (!quiet_)
            std::fprintf(stderr, "Playing %s\n", input.c_str());
        announced_ = true;
        print_info_when_known();
        sv_send_none(engine_, SV_CMD_PLAY);
        err = command_result(SV_CMD_PLAY);
        if (err < 0)
            return err;
        state_ = SV_STATE_PLAYING;
        while (state_ == SV_STATE_PLAYING && !report_failed_ && !interrupted)
            pump(200);
        if (progress_ && shown_seconds_ >= 0)
            std::fputc('\n', stderr);
        shown_seconds_ = -1;
        if (interrupted) {
            sv_send_none(engine_, SV_CMD_STOP);
            command_result(SV_CMD_STOP);
            return 0;
        }
        if (report_failed_) {
            sv_send_none(engine_, SV_CMD_STOP);
            command_result(SV_CMD_STOP);
            return report_code_;
        }
        return 0;
    }

    // The module's own words about the last failure ("cannot open input file: file
    // not found"), when it gave any.
    const std::string &reason() const { return reason_; }

    void stop()
    {
        if (engine_)
            sv_engine_stop(engine_);
    }

private:
    // Waits for the ack or nack of `code`, handling other notifications meanwhile.
    int command_result(int code)
    {
        for (int waited = 0; waited < 600; waited++) {
            sv_notification n;
            int got = sv_client_next(engine_, &n, 100);
            if (got < 0)
                return got;
            if (got == 0) {
                if (interrupted && code != SV_CMD_OUTPUT_CLOSE && code != SV_CMD_STOP)
                    return SV_ERR_INTERNAL;
                continue;
            }
            if (n.code == SV_NOTE_ACK && n.n[0] == code)
                return 0;
            if (n.code == SV_NOTE_NACK && n.n[0] == code)
                return n.n[1] < 0 ? n.n[1] : -n.n[1];
            handle(n);
        }
        return SV_ERR_TIMEOUT;
    }

    void pump(int timeout_ms)
    {
        sv_notification n;
        if (sv_client_next(engine_, &n, timeout_ms) == 1)
            handle(n);
    }

    void handle(const sv_notification &n)
    {
        switch (n.code) {
        case SV_NOTE_PLAYER_STATE: state_ = n.n[0]; break;
        case SV_NOTE_CONTENT_TYPE: info_.content_type = n.s[0] ? n.s[0] : ""; break;
        case SV_NOTE_DURATION: info_.duration = n.n[0]; break;
        case SV_NOTE_STREAM_PARAMETERS:
            info_.frequency = n.n[0];
            info_.bitrate = n.n[1];
            info_.channels = n.n[2];
            print_info_when_known();
            break;
        case SV_NOTE_STREAM_PROPERTIES:
            info_.properties.clear();
            for (int i = 0; i < n.property_count; i++) {
                const sv_message_property &p = n.properties[i];
                std::string value = p.type == SV_PROP_STRING ? (p.text ? p.text : "") : std::to_string(p.value);
                info_.properties.emplace_back(p.name ? p.name : "", value);
            }
            show_stream_title();
            break;
        case SV_NOTE_PROGRESS: show_buffering(n.n[1], n.n[2]); break;
        case SV_NOTE_TIMECODE: show_progress(n.n[0] * 3600 + n.n[1] * 60 + n.n[2]); break;
        case SV_NOTE_DEBUG:
            if (n.s[0])
                reason_ = n.s[0];
            break;
        case SV_NOTE_ERROR:
            // A module failed while playing (a full disk, an unplugged card).
            reason_ = n.s[0] ? n.s[0] : "";
            report_code_ = n.n[1] < 0 ? n.n[1] : SV_ERR_INTERNAL;
            if (state_ == SV_STATE_PLAYING)
                report_failed_ = true;
            break;
        default: break;
        }
    }

    // A file holds one format, the first input's: a later input of another format is
    // refused rather than written at the wrong speed.
    bool format_fits_file()
    {
        if (!to_file_ || info_.frequency == 0)
            return true;
        if (file_frequency_ == 0) {
            file_frequency_ = info_.frequency;
            file_channels_ = info_.channels;
            return true;
        }
        if (info_.frequency == file_frequency_ && info_.channels == file_channels_)
            return true;
        reason_ = std::to_string(info_.frequency) + " Hz " + channels_text(info_.channels) + ", the output file holds "
                  + std::to_string(file_frequency_) + " Hz " + channels_text(file_channels_);
        return false;
    }

    void print_info_when_known()
    {
        if (quiet_ || !announced_ || info_.printed || info_.frequency == 0)
            return;
        info_.printed = true;
        std::string channels = channels_text(info_.channels);
        std::fprintf(stderr, "  Format:   %s, %d Hz, %s, %d kbit/s\n",
                     info_.content_type.empty() ? "unknown" : info_.content_type.c_str(), info_.frequency,
                     channels.c_str(), info_.bitrate);
        if (info_.duration >= 0)
            std::fprintf(stderr, "  Duration: %s\n", clock_text(info_.duration).c_str());
        else
            std::fprintf(stderr, "  Duration: unknown\n");
        // The engine lists the newest property first; print them in the order they were set.
        for (auto it = info_.properties.rbegin(); it != info_.properties.rend(); ++it)
            std::fprintf(stderr, "  %s: %s\n", it->first.c_str(), it->second.c_str());
    }

    // An ICY stream's title, printed each time it changes.
    void show_stream_title()
    {
        for (const auto &[name, value] : info_.properties) {
            if (name != "icy/StreamTitle" || value == title_)
                continue;
            title_ = value;
            if (!quiet_) {
                end_progress_line();
                std::fprintf(stderr, "  Title:    %s\n", value.c_str());
            }
        }
    }

    // The network input's buffer: an underflow and its end are printed; on a terminal
    // the refill percentage counts up in place meanwhile.
    void show_buffering(int code, int value)
    {
        if (quiet_)
            return;
        if (code == kProgressUnderflow) {
            end_progress_line();
            std::fprintf(stderr, "  buffer underflow\n");
            buffering_ = true;
        } else if (code == kProgressRefill && buffering_ && progress_ && value < 100) {
            std::fprintf(stderr, "\r  buffering %3d%% ", value);
            std::fflush(stderr);
            shown_seconds_ = -2; // the next time code starts a fresh line
        } else if (code == kProgressRefilled && buffering_) {
            end_progress_line();
            std::fprintf(stderr, "  buffer refilled\n");
            buffering_ = false;
        }
    }

    void end_progress_line()
    {
        if (progress_ && shown_seconds_ != -1)
            std::fputc('\n', stderr);
        shown_seconds_ = -1;
    }

    void show_progress(int seconds)
    {
        if (!progress_ || seconds == shown_seconds_)
            return;
        shown_seconds_ = seconds;
        if (info_.duration > 0)
            std::fprintf(stderr, "\r  %s / %s ", clock_text(seconds).c_str(), clock_text(info_.duration).c_str());
        else
            std::fprintf(stderr, "\r  %s ", clock_text(seconds).c_str());
        std::fflush(stderr);
    }

    sv_engine *engine_ = nullptr;
    bool quiet_;
    bool progress_;
    int state_ = SV_STATE_STOPPED;
    int shown_seconds_ = -1;
    StreamInfo info_;
    bool announced_ = false; // "Playing" was printed for the current input
    bool to_file_ = false;   // the output is a file (one format for every input)
    int file_frequency_ = 0, file_channels_ = 0;
    bool report_failed_ = false;
    int report_code_ = 0;
    std::string reason_;
    std::string title_;      // the last ICY title printed
    bool buffering_ = false; // between "buffer underflow" and "buffer refilled"

    // Progress report codes of the network input.
    static constexpr int kProgressUnderflow = 19, kProgressRefilled = 20, kProgressRefill = 21;
};

void print_error(const std::string &what, int err, const std::string &reason)
{
    if (reason.empty())
        std::fprintf(stderr, "sonvox-play: %s: %s\n", what.c_str(), sv_error_text(err));
    else
        std::fprintf(stderr, "sonvox-play: %s: %s: %s\n", what.c_str(), sv_error_text(err), reason.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("sonvox-play %s\n", SONVOX_PLAY_VERSION);
        return 0;
    }
    std::string output;
    bool quiet = false;
    bool gapless = true;
    static const option longopts[] = {{"no-gapless", no_argument, nullptr, 'G'}, {nullptr, 0, nullptr, 0}};
    int opt;
    while ((opt = getopt_long(argc, argv, "o:qh", longopts, nullptr)) != -1) {
        switch (opt) {
        case 'o': output = optarg; break;
        case 'q': quiet = true; break;
        case 'G': gapless = false; break;
        case 'h': usage(stdout); return 0;
        default: usage(stderr); return 2;
        }
    }
    if (optind >= argc) {
        usage(stderr);
        return 2;
    }

    struct sigaction sa
    {};
    sa.sa_handler = on_signal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Player player(quiet);
    int err = player.start(gapless);
    if (err < 0) {
        print_error("cannot start the engine", err, "");
        return 1;
    }
    err = player.open_output(output);
    if (err < 0) {
        print_error(output.empty() ? "sound card" : output, err, player.reason());
        player.stop();
        return 1;
    }

    int status = 0;
    for (int i = optind; i < argc && !interrupted; i++) {
        err = player.play(argv[i]);
        if (err < 0) {
            print_error(argv[i], err, player.reason());
            status = 1;
        }
    }
    err = player.close_output();
    if (err < 0 && status == 0) {
        print_error(output.empty() ? "sound card" : output, err, player.reason());
        status = 1;
    }
    player.stop();
    return interrupted ? 130 : status;
}
