#pragma once
// The settings object: the nine text values of the Windows program plus the check time and
// the timetable database,
// kept in the section "Judge" of the settings file.
// Users read and assign the fields directly; assigning does not save. Every value is text:
// flags are "1" for on, anything else is off.

#include <QString>

class TGlobal
{
public:
    // Reads the file at once; a missing file or key gives the defaults.
    explicit TGlobal(const QString &filePath);
    // Saves once more (errors are logged, the program is ending).
    ~TGlobal();
    TGlobal(const TGlobal &) = delete;
    TGlobal &operator=(const TGlobal &) = delete;

    void LoadSettings();
    // Writes the keys in their fixed order (the nine, then the added one); other sections,
    // keys and lines of the file are kept. The file is replaced atomically. On failure returns false, fills *error
    // (naming the file) and keeps the values in memory.
    bool SaveSettings(QString *error = nullptr);

    const QString &filePath() const { return filePath_; }
    // True when the last load found the file but could not read it.
    bool loadFailed() const { return loadFailed_; }

    QString strrqr;     // date of the last resolution of today's timetable, "yyyy-MM-dd"
    QString strposr;    // main volume slider position 0..169
    QString strposr2;   // start volume applied to the main slider at every start
    QString strstart;   // flag: start at login
    QString strmin;     // flag: hide to the notification area one second after start
    QString stroff;     // flag: shut the computer down at strofftime
    QString strover;    // flag: shut down when the day's last programme has finished
    QString strvolue;   // flag: the settings tab's "set volume at start" box
    QString strofftime; // shutdown time of day, "H:mm:ss"
    // Added after the nine: the time of day of tomorrow's check, "H:mm:ss".
    QString strchecktime;
    // Added next: where the timetables live. strdbtype "sqlite" (the local file, the
    // default) or "pgsql" (a PostgreSQL server shared by the players of a site: host, port,
    // database, user; the password read from strdbpassfile, a file only its owner may read,
    // or from ~/.pgpass when that key is empty).
    QString strdbtype;
    QString strdbhost;
    QString strdbport;
    QString strdbname;
    QString strdbuser;
    QString strdbpassfile;

private:
    QString filePath_;
    bool loadFailed_ = false;
};

// The program-wide settings object. Created on first use from settingsFilePath() unless
// one was installed with setAppSettings().
TGlobal &appSettings();
// Installs a settings object (takes ownership); the previous one is destroyed, which saves it.
void setAppSettings(TGlobal *settings);
// Destroys the program-wide settings object (saving it); the next appSettings() makes a new one.
void destroyAppSettings();
