#include "windows/help_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 367;
constexpr int kHeight = 565;

// The help text, line by line.
const char *const kHelpLines[] = {
    "          　　　　　  Tunelet v1.0帮助说明",
    "",
    "  Tunelet支持*.rm,*.ram,*.rlm,*.avi,*.mp3,*.mpg,*.wav,*.mid,",
    "",
    "*.wma 等格式的播放文件。可直接将文件拖入到窗口中进",
    "行播放。",
    "",
    "    采用的解码文件存在一定缺陷，因此在某些操作过程中",
    "会出现未",
    "知的",
    "",
    "错误，但在设计时最大限度的避免了错误的发生。希望用",
    "户能够放",
    "心的使",
    "",
    "用。如果该播放器为你造成不便，请将其所有文件彻底删",
    "除即可。",
    "",
    "   在使用视频播放时，请使用恢复主窗口按扭切换到最先",
    "状态，如",
    "果关闭",
    "",
    "该窗口将结束整个应用程序。",
    "",
    "    基本功能包括：弹开光驱，关闭光驱，打开网页，调整",
    "音量，设",
    "置播放",
    "",
    "方式等操作。尚有一些功能还未能完善，将在以后逐渐改",
    "进。",
    "",
};

} // namespace

QString helpWindowText()
{
    QStringList lines;
    for (const char *line : kHelpLines)
        lines.append(QString::fromUtf8(line));
    return lines.join(QLatin1Char('\n'));
}

TForm8::TForm8(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("帮助说明"));
    resize(kWidth, kHeight);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setStyleSheet(QStringLiteral("#Panel1 { background: black; }"));
    Memo1 = new QPlainTextEdit(helpWindowText(), Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("帮助说明"));
    Memo1->setReadOnly(true);
    Memo1->setContextMenuPolicy(Qt::PreventContextMenu);
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { background: white; color: teal; }"));
    Memo1->installEventFilter(this);
    auto *inner = new QVBoxLayout(Panel1);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(Memo1);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(Panel1);
}

void TForm8::showEvent(QShowEvent *event)
{
    QScreen *screen = anchor_ ? anchor_->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        move(area.left() + area.width() / 2 - 183, area.top() + area.height() / 2 - 264);
    }
    QWidget::showEvent(event);
}

bool TForm8::eventFilter(QObject *watched, QEvent *event)
{
    // Typed characters go nowhere; the text is already read-only, this also keeps paste
    // shortcuts and input methods out.
    if (watched == Memo1 && (event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod)) {
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
