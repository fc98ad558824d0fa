#include "TBitBtn.h"

#include <QStyle>

TBitBtn::TBitBtn(QWidget* parent) : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, &TBitBtn::closeWindow);
}

void TBitBtn::setKind(Kind kind)
{
    kind_ = kind;
    if (kind_ == Close) {
        setText(tr("&Close"));
        setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    }
}

void TBitBtn::closeWindow()
{
    // Queued, so that the click's own handlers run first and the window is not closed under them.
    if (kind_ == Close)
        QMetaObject::invokeMethod(window(), &QWidget::close, Qt::QueuedConnection);
}
