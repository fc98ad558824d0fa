// SPDX-License-Identifier: MIT
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

// A captioned group of radio buttons made from a list of items, one per row; the chosen one is
// known by its index, -1 when none is chosen.
class TRadioGroup : public QGroupBox
{
    Q_OBJECT
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex)

public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    [[nodiscard]] QStringList items() const { return items_; }
    void setItems(const QStringList& items);
    [[nodiscard]] int itemIndex() const;
    void setItemIndex(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void placeButtons();

    QButtonGroup* group_;
    QStringList items_;
    int wantedIndex_ = -1; // kept until the items it points at exist
};
