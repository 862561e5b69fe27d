#pragma once
// Where the program keeps its files. With CHIMECAST_HOME set everything (settings file
// too) lives in that folder; otherwise the data lives in ~/.local/share/chimecast and the
// settings file in ~/.config/chimecast.

#include <QByteArray>
#include <QString>

// The program folder (no trailing slash).
QString programFolder();
// Full path of the settings file chimecast.ini.
QString settingsFilePath();
// A path inside the program folder, e.g. programPath("dat/qvrDemo.db").
QString programPath(const QString &relative);
// Creates the program folder and its dat/ subfolder when missing.
bool ensureProgramFolder(QString *error);

// Replaces the file's content in one step: a temporary file next to it is written, flushed
// and renamed over it, so a crash or power cut leaves the old or the new content, never a
// half-written file. Creates missing parent folders.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error);

// Reads a whole text file: UTF-8 when the bytes are valid UTF-8 (a BOM is dropped), else
// GB18030 (files made by the Windows program). *ok is false when it cannot be read.
QString readTextFile(const QString &path, bool *ok);
// Decodes bytes the way readTextFile does.
QString decodeText(const QByteArray &bytes);
