#include "TShape.h"

#include <QPainter>

TShape::TShape(QWidget* parent) : QWidget(parent)
{
    // Lamps are drawn over other controls; nothing behind them needs repainting first.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TShape::setShape(Shape shape)
{
    shape_ = shape;
    update();
}

void TShape::setBrushColor(const QColor& color)
{
    if (color == brushColor_)
        return;
    brushColor_ = color;
    update();
}

void TShape::setPenColor(const QColor& color)
{
    penColor_ = color;
    update();
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(penColor_, 1.0));
    painter.setBrush(brushColor_);

    // Half a pixel in, so the outline falls on whole pixels.
    QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (shape_ == Square || shape_ == RoundSquare || shape_ == Circle) {
        const qreal side = std::min(area.width(), area.height());
        area = QRectF(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    }
    const qreal corner = std::min(area.width(), area.height()) / 8;
    switch (shape_) {
    case Rectangle:
    case Square:
        painter.drawRect(area);
        break;
    case RoundRect:
    case RoundSquare:
        painter.drawRoundedRect(area, corner, corner);
        break;
    case Ellipse:
    case Circle:
        painter.drawEllipse(area);
        break;
    }
}
