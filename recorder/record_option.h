#pragma once
// Where and how the manual player records: folder, file name, channels, sample size and
// rate. Every setter stores its value unchanged, except FilePath, which refuses a folder
// that does not exist.

#include <QString>

#include <stdexcept>

enum class TChannel { chSingleMono, chStereo };
enum class TResolution { re8Bit, re16bit };

// Raised by TRecordOption::setFilePath for a missing folder; what() is "目录不存在".
class FolderMissingError : public std::runtime_error
{
public:
    FolderMissingError()
        : std::runtime_error("目录不存在")
    {}
};

class TRecordOption
{
public:
    TRecordOption();

    // The user's music folder, else the home folder: where recordings go by default.
    static QString defaultFolder();

    QString FilePath() const { return FilePath_; }
    // Throws FolderMissingError and keeps the previous value when `path` is not an
    // existing folder.
    void setFilePath(const QString &path);
    QString FileName() const { return FileName_; }
    void setFileName(const QString &name) { FileName_ = name; }
    TChannel Channel() const { return Channel_; }
    void setChannel(TChannel channel) { Channel_ = channel; }
    TResolution Resolution() const { return Resolution_; }
    void setResolution(TResolution resolution) { Resolution_ = resolution; }
    int Rate() const { return Rate_; }
    void setRate(int rate) { Rate_ = rate; }

    int channels() const { return Channel_ == TChannel::chStereo ? 2 : 1; }
    int bits() const { return Resolution_ == TResolution::re16bit ? 16 : 8; }
    // The file a recording goes to: the folder trimmed, a "/" when it lacks one, the
    // name trimmed, and ".wav" when the name does not end in it (any case).
    QString targetPath() const;

private:
    QString FilePath_;
    QString FileName_ = QStringLiteral("test.wav");
    TChannel Channel_ = TChannel::chSingleMono;
    TResolution Resolution_ = TResolution::re8Bit;
    int Rate_ = 11025;
};
