// SPDX-License-Identifier: MIT
#include "TBitBtn.h"

#include <QIcon>

TBitBtn::TBitBtn(QWidget* parent) : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, &TBitBtn::closeWindow);
}

void TBitBtn::setKind(Kind kind)
{
    kind_ = kind;
    if (kind_ == Close) {
        setText(tr("&Close"));
        // Our own glyph: asking the style looks through icon themes on disk, which costs more
        // at start-up than building the rest of the window.
        setIcon(QIcon(QStringLiteral(":/icons/close.png")));
    }
}

void TBitBtn::closeWindow()
{
    // Queued, so that the click's own handlers run first and the window is not closed under them.
    if (kind_ == Close)
        QMetaObject::invokeMethod(window(), &QWidget::close, Qt::QueuedConnection);
}
