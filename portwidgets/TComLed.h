// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

// A red lamp that shows whether a serial port is open. Bound to the port by connecting the port's
// openChanged(bool) to setLit(bool), so it follows every open, close and line failure by itself.
class TComLed : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool lit READ isLit WRITE setLit)

public:
    explicit TComLed(QWidget* parent = nullptr);

    [[nodiscard]] bool isLit() const { return lit_; }
    [[nodiscard]] QSize sizeHint() const override { return {25, 25}; }

public slots:
    void setLit(bool lit);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool lit_ = false;
};
