#pragma once
// `TFormlyts` "录音保存文件提示": asks where a recording is saved. The list offers the
// writable places of this machine in a fixed order (the music folder, home, the program
// folder's recordings folder, then each mounted removable medium); the first is
// selected and "music1.wav" is in the name field.

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QPushButton;

class TFormlyts : public QDialog
{
    Q_OBJECT
public:
    explicit TFormlyts(QWidget *parent = nullptr);

    // The places offered, in order; folders that do not exist are left out (the
    // recordings folder is made when missing).
    static QStringList recordingPlaces();

    QComboBox *ComboBox1; // the place to save into
    QLineEdit *Edit1;     // the file name
    QPushButton *okButton;
    QPushButton *cancelButton;

protected:
    void showEvent(QShowEvent *event) override;
};
