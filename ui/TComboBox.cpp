// SPDX-License-Identifier: MIT
#include "TComboBox.h"

#include <QAbstractItemDelegate>
#include <QListView>

namespace {

// Draws each row as the style's own delegate does, only at a fixed height.
class FixedHeightDelegate : public QAbstractItemDelegate
{
public:
    FixedHeightDelegate(QAbstractItemDelegate* drawn, int height, QObject* parent)
        : QAbstractItemDelegate(parent), drawn_(drawn), height_(height)
    {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        drawn_->paint(painter, option, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {drawn_->sizeHint(option, index).width(), height_};
    }

private:
    QPointer<QAbstractItemDelegate> drawn_;
    int height_;
};

} // namespace

TComboBox::TComboBox(QWidget* parent) : QComboBox(parent), styleDelegate_(itemDelegate())
{
    // Equal rows let the list skip measuring each one.
    if (auto* list = qobject_cast<QListView*>(view()))
        list->setUniformItemSizes(true);
}

void TComboBox::setItemHeight(int height)
{
    if (height == itemHeight_ || !styleDelegate_)
        return;
    QAbstractItemDelegate* previous = itemDelegate();
    itemHeight_ = height;
    setItemDelegate(height > 0 ? new FixedHeightDelegate(styleDelegate_, height, this)
                               : styleDelegate_.data());
    // The combo box lets go of a delegate it is given but does not delete it.
    if (previous != styleDelegate_)
        delete previous;
}
