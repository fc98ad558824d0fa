#include "TLabel.h"

#include <QEvent>

TLabel::TLabel(QWidget* parent) : QLabel(parent) {}

void TLabel::setAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    fitText();
}

void TLabel::setText(const QString& text)
{
    QLabel::setText(text);
    fitText();
}

void TLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitText();
}

void TLabel::fitText()
{
    if (!autoSize_ || text().isEmpty())
        return;
    const QSize needed = sizeHint();
    // Only grows: the designed box stays where the text fits into it.
    resize(std::max(width(), needed.width()), std::max(height(), needed.height()));
}
