// SPDX-License-Identifier: MIT
#pragma once

#include <QPushButton>

// A push button with a stock glyph and caption by kind; a Close button closes its window.
class TBitBtn : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(Kind kind READ kind WRITE setKind)

public:
    enum Kind { Custom, Close };
    Q_ENUM(Kind)

    explicit TBitBtn(QWidget* parent = nullptr);

    [[nodiscard]] Kind kind() const { return kind_; }
    void setKind(Kind kind);

private:
    void closeWindow();

    Kind kind_ = Custom;
};
