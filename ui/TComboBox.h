// SPDX-License-Identifier: MIT
#pragma once

#include <QComboBox>
#include <QPointer>

class QAbstractItemDelegate;

// A combo box whose open list shows its items in rows of a fixed height, as the layout asks.
class TComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(int itemHeight READ itemHeight WRITE setItemHeight)

public:
    explicit TComboBox(QWidget* parent = nullptr);

    [[nodiscard]] int itemHeight() const { return itemHeight_; }
    // Pixels per row of the open list; 0 leaves the rows as high as the style draws them.
    void setItemHeight(int height);

private:
    int itemHeight_ = 0;
    QPointer<QAbstractItemDelegate> styleDelegate_;
};
