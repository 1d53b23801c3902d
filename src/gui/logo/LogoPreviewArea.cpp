#include "gui/logo/LogoPreviewArea.h"

#include <QPainter>

namespace kp70 {

LogoPreviewArea::LogoPreviewArea(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
    // The area is told apart from the page by its background.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void LogoPreviewArea::ShowImage(QImage image, QRect target, int printableEdge) {
    m_image = std::move(image);
    m_target = target;
    m_edge = printableEdge;
    update();
}

void LogoPreviewArea::Clear() {
    m_image = QImage();
    m_target = QRect();
    m_edge = -1;
    update();
}

void LogoPreviewArea::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (m_image.isNull() || m_target.isEmpty()) return;
    QPainter painter(this);
    if (m_edge >= 0) {
        // The paper: the printable area white, what lies beyond it shaded.
        painter.fillRect(rect(), palette().color(QPalette::Mid));
        painter.fillRect(QRect(0, 0, m_edge, height()), Qt::white);
    }
    // Dots shrunk to the area blend into grays, as they look from a step away; enlarged
    // ones stay sharp.
    const bool shrinking = m_target.width() < m_image.width();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, shrinking);
    painter.drawImage(m_target, m_image);
}

}  // namespace kp70
