#include "core/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace {
MessageBoxHook *hook = nullptr;

QString boxTitle()
{
    return QApplication::applicationDisplayName();
}
} // namespace

namespace MessageBox {

void information(QWidget *parent, const QString &text)
{
    if (hook) {
        hook->information(text);
        return;
    }
    QMessageBox::information(parent, boxTitle(), text);
}

void notice(QWidget *parent, const QString &text)
{
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
    if (hook)
        return hook->askYesNo(title, text);
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

void setHook(MessageBoxHook *h)
{
    hook = h;
}

} // namespace MessageBox
