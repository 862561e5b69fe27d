#pragma once
// The one way the program shows message and question boxes. Every box, question and
// answer is also written to the log (chimecast.app). Tests install a hook that records
// the texts and answers the questions, so no handler ever blocks on a modal box.

#include <QString>

class QWidget;

class MessageBoxHook
{
public:
    virtual ~MessageBoxHook() = default;
    virtual void information(const QString &text) = 0;
    virtual bool askYesNo(const QString &title, const QString &text) = 0;
};

namespace MessageBox {

// A plain modal message box with an OK button.
void information(QWidget *parent, const QString &text);
// A non-modal box that does not stop the caller; for notices raised by timers and start-up
// that must not hold up the schedule.
void notice(QWidget *parent, const QString &text);
// A Yes/No question box with the question icon; true on Yes.
bool askYesNo(QWidget *parent, const QString &title, const QString &text);

// Installs a hook (not owned) that replaces every box; nullptr restores real boxes.
void setHook(MessageBoxHook *hook);

} // namespace MessageBox
