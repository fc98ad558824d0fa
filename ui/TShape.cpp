// SPDX-License-Identifier: MIT
#include "TShape.h"

#include <QPainter>

TShape::TShape(QWidget* parent) : QWidget(parent)
{
    // Lamps lie over other controls; a click on one reaches whatever lies beneath it.
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

void TShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(brushColor_);

    // Half a pixel in, so the outline falls on whole pixels.
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal side = std::min(area.width(), area.height());
    const QRectF square(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    if (shape_ == Circle) {
        painter.drawEllipse(square);
    } else {
        const qreal corner = side / 8;
        painter.drawRoundedRect(square, corner, corner);
    }
}
