// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

// A caption that, like the labels the layout was designed with, grows to fit its text from its
// top-left corner, so no font on this system can clip it.
class TLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(bool autoSize READ autoSize WRITE setAutoSize)

public:
    explicit TLabel(QWidget* parent = nullptr);

    [[nodiscard]] bool autoSize() const { return autoSize_; }
    void setAutoSize(bool autoSize);

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    bool event(QEvent* event) override;

private:
    void fitText();

    bool autoSize_ = true;
};
