// SPDX-License-Identifier: MIT
#include "TComLed.h"

#include <QPainter>
#include <QRadialGradient>

TComLed::TComLed(QWidget* parent) : QWidget(parent)
{
    setLit(false);
}

void TComLed::setLit(bool lit)
{
    lit_ = lit;
    // The name ("Port") is the form's; the state is told as the description, as screen readers expect.
    setToolTip(lit ? tr("Serial port open") : tr("Serial port closed"));
    setAccessibleDescription(lit ? tr("Port: open") : tr("Port: closed"));
    update();
}

void TComLed::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height()) - 4.0;
    const QRectF lamp((width() - side) / 2.0, (height() - side) / 2.0, side, side);

    const QColor light(255, 0, 0);
    const QColor face = lit_ ? light : light.darker(330);
    QRadialGradient shine(lamp.center() - QPointF(side / 6, side / 6), side / 1.4);
    shine.setColorAt(0.0, lit_ ? face.lighter(170) : face.lighter(140));
    shine.setColorAt(1.0, face);

    painter.setPen(QPen(palette().color(QPalette::Dark), 1.0));
    painter.setBrush(shine);
    painter.drawEllipse(lamp);
}
