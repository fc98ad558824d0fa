// SPDX-License-Identifier: MIT
#include "TLabel.h"

#include <QEvent>

TLabel::TLabel(QWidget* parent) : QLabel(parent)
{
    if (parent)
        parent->installEventFilter(this);
}

void TLabel::setAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    fitText();
}

// QLabel::setText is not virtual, so a new text is noticed by what it sets off: a label on show
// asks for a new layout of its parent, a hidden one is fitted when it is shown.
bool TLabel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::LayoutRequest)
        fitText();
    return false;
}

bool TLabel::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentAboutToChange:
        if (parentWidget())
            parentWidget()->removeEventFilter(this);
        break;
    case QEvent::ParentChange:
        if (parentWidget())
            parentWidget()->installEventFilter(this);
        break;
    default:
        break;
    }
    const bool handled = QLabel::event(event);
    if (event->type() == QEvent::Show || event->type() == QEvent::FontChange)
        fitText();
    return handled;
}

void TLabel::fitText()
{
    if (!autoSize_ || text().isEmpty())
        return;
    const QSize needed = sizeHint();
    // Only grows: the designed box stays where the text fits into it.
    resize(std::max(width(), needed.width()), std::max(height(), needed.height()));
}
