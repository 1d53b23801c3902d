#pragma once

#include <QFrame>
#include <QImage>

namespace kp70 {

// The Preview page's drawing area: an image drawn from its top-left corner into a target
// rectangle; for the printer's dots, on white paper as wide as the printable area.
class LogoPreviewArea : public QFrame {
    Q_OBJECT

public:
    explicit LogoPreviewArea(QWidget* parent = nullptr);

    // Draws image stretched to target; printableEdge >= 0 is the right edge of the paper.
    void ShowImage(QImage image, QRect target, int printableEdge = -1);
    // Nothing drawn.
    void Clear();

    bool HasImage() const { return !m_image.isNull(); }
    const QImage& image() const { return m_image; }
    QRect drawnRect() const { return m_target; }
    int printableEdge() const { return m_edge; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    QRect m_target;
    int m_edge = -1;
};

}  // namespace kp70
