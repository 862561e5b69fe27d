#include "core/message_box.h"

#include "core/logging.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

namespace {
MessageBoxHook *hook = nullptr;

QString boxTitle()
{
    return QApplication::applicationDisplayName();
}

// On a headless box (Qt's offscreen platform, as the service runs) nobody can see or
// answer a modal box: it would wait forever and stop the program in its tracks. There the
// text goes only to the log, and a question takes its cautious answer, "no".
bool nobodyCanAnswer()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}
} // namespace

namespace MessageBox {

void information(QWidget *parent, const QString &text)
{
    qCInfo(lcApp).noquote() << QStringLiteral("message box: %1").arg(text);
    if (hook) {
        hook->information(text);
        return;
    }
    if (nobodyCanAnswer())
        return;
    QMessageBox::information(parent, boxTitle(), text);
}

void notice(QWidget *parent, const QString &text)
{
    qCInfo(lcApp).noquote() << QStringLiteral("notice: %1").arg(text);
    if (hook) {
        hook->information(text);
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Information, boxTitle(), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool askYesNo(QWidget *parent, const QString &title, const QString &text)
{
    qCInfo(lcApp).noquote() << QStringLiteral("question: %1: %2").arg(title, text);
    const bool yes = hook                ? hook->askYesNo(title, text)
                     : nobodyCanAnswer() ? false
                                         : QMessageBox::question(parent, title, text,
                                                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                                               == QMessageBox::Yes;
    qCInfo(lcApp).noquote() << QStringLiteral("answer: %1").arg(yes ? QStringLiteral("yes") : QStringLiteral("no"));
    return yes;
}

void setHook(MessageBoxHook *h)
{
    hook = h;
}

} // namespace MessageBox
