#pragma once
// The drawing surface the audio library paints its spectrum into: a small widget (the
// effect window's panel, 257 x 47 by default) that shows the latest picture the
// library handed over. panel() is what the library's instances are given.
//
// The library calls the present callback on its own feedback thread. The callback
// copies the picture into a mailbox and queues a repaint on the widget's thread; the
// mailbox outlives the widget, so a picture that arrives while or after the widget is
// destroyed is dropped instead of touching freed memory.

#include "sonvox/api/sonvox.h"

#include <QImage>
#include <QWidget>

class SpectrumPanel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 257;
    static constexpr int kHeight = 47;

    explicit SpectrumPanel(QWidget *parent = nullptr);
    ~SpectrumPanel() override;
    SpectrumPanel(const SpectrumPanel &) = delete;
    SpectrumPanel &operator=(const SpectrumPanel &) = delete;

    // The descriptor for svInitMp3; valid for the life of the process.
    const sv_panel *panel() const { return &panel_; }
    // The picture shown now, top row first (null before the first one).
    QImage picture() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Mailbox;
    static void present(void *user, const uint32_t *pixels, int width, int height);

    Mailbox *mailbox_;
    sv_panel panel_{};
};
