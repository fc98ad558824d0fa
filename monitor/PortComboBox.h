// SPDX-License-Identifier: MIT
#pragma once

#include <QComboBox>

#include <chrono>

namespace calimbra {

// The port field: any path typed, or one of the ports present, listed when the list is opened, so
// that an adapter plugged in after the start is there, and the start does not wait for the list.
class PortComboBox : public QComboBox
{
    Q_OBJECT

public:
    using QComboBox::QComboBox;

    void showPopup() override;

    // The one USB serial adapter present, by its stable name where it has one; empty when there are
    // none or several.
    [[nodiscard]] static QString soleUsbAdapter();
    // That adapter in the field once the window is up (listing the ports takes longer than showing
    // it), unless the field was changed or disabled meanwhile.
    void chooseSoleAdapterSoon();

private:
    static constexpr std::chrono::milliseconds kLookForAdapter{300};
};

} // namespace calimbra
