#include "TComLed.h"

#include <QPainter>
#include <QRadialGradient>

namespace {

QColor lightColor(TComLed::Kind kind)
{
    switch (kind) {
    case TComLed::Kind::GreenLight:
        return {0, 230, 0};
    case TComLed::Kind::YellowLight:
        return {255, 220, 0};
    case TComLed::Kind::RedLight:
        break;
    }
    return {255, 0, 0};
}

} // namespace

TComLed::TComLed(QWidget* parent) : QWidget(parent)
{
    setLit(false);
}

void TComLed::setLit(bool lit)
{
    lit_ = lit;
    const QString state = lit ? tr("Serial port open") : tr("Serial port closed");
    setToolTip(state);
    setAccessibleName(state);
    update();
}

void TComLed::setKind(Kind kind)
{
    kind_ = kind;
    update();
}

void TComLed::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height()) - 4.0;
    const QRectF lamp((width() - side) / 2.0, (height() - side) / 2.0, side, side);

    const QColor light = lightColor(kind_);
    const QColor face = lit_ ? light : light.darker(330);
    QRadialGradient shine(lamp.center() - QPointF(side / 6, side / 6), side / 1.4);
    shine.setColorAt(0.0, lit_ ? face.lighter(170) : face.lighter(140));
    shine.setColorAt(1.0, face);

    painter.setPen(QPen(palette().color(QPalette::Dark), 1.0));
    painter.setBrush(shine);
    painter.drawEllipse(lamp);
}
