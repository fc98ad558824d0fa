// SPDX-License-Identifier: MIT
#include "TRadioGroup.h"

#include <QButtonGroup>
#include <QEvent>
#include <QRadioButton>

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), group_(new QButtonGroup(this)) {}

void TRadioGroup::setItems(const QStringList& items)
{
    const int index = itemIndex() >= 0 ? itemIndex() : wantedIndex_;
    const auto old = group_->buttons();
    for (QAbstractButton* button : old) {
        group_->removeButton(button);
        delete button;
    }
    items_ = items;
    // The buttons take the group's place in the tab order, which the layout has set already.
    // setTabOrder() passes over widgets that take no focus, so the group takes it meanwhile.
    const Qt::FocusPolicy policy = focusPolicy();
    setFocusPolicy(Qt::TabFocus);
    QWidget* previous = this;
    for (int i = 0; i < items_.size(); ++i) {
        auto* button = new QRadioButton(items_.at(i), this);
        button->setObjectName(objectName() + QStringLiteral("_item%1").arg(i));
        group_->addButton(button, i);
        QWidget::setTabOrder(previous, button);
        previous = button;
        button->show();
    }
    setFocusPolicy(policy);
    placeButtons();
    setItemIndex(index);
}

int TRadioGroup::itemIndex() const
{
    return group_->checkedId();
}

void TRadioGroup::setItemIndex(int index)
{
    wantedIndex_ = index;
    if (QAbstractButton* button = group_->button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never lets its last button go; lift that for a moment.
    if (QAbstractButton* checked = group_->checkedButton()) {
        group_->setExclusive(false);
        checked->setChecked(false);
        group_->setExclusive(true);
    }
}

void TRadioGroup::resizeEvent(QResizeEvent* event)
{
    QGroupBox::resizeEvent(event);
    placeButtons();
}

void TRadioGroup::changeEvent(QEvent* event)
{
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        placeButtons();
}

void TRadioGroup::placeButtons()
{
    const auto buttons = group_->buttons();
    if (buttons.isEmpty())
        return;
    // Rows share the space under the caption evenly, as the layout was designed.
    const int top = fontMetrics().height() + 2;
    const int bottom = 4;
    const int left = 8;
    const int rowHeight = std::max(1, (height() - top - bottom) / static_cast<int>(buttons.size()));
    for (QAbstractButton* button : buttons) {
        const int row = group_->id(button);
        const int buttonHeight = std::min(rowHeight, button->sizeHint().height());
        button->setGeometry(left, top + row * rowHeight + (rowHeight - buttonHeight) / 2, width() - 2 * left,
                            buttonHeight);
    }
}
