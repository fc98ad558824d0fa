// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QWidget>

// A filled shape with a one-pixel black outline, used for the panel's lamps.
class TShape : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(Shape shape READ shape WRITE setShape)
    Q_PROPERTY(QColor brushColor READ brushColor WRITE setBrushColor)

public:
    // Both keep their sides equal, centred in the widget.
    enum Shape { RoundSquare, Circle };
    Q_ENUM(Shape)

    explicit TShape(QWidget* parent = nullptr);

    [[nodiscard]] Shape shape() const { return shape_; }
    void setShape(Shape shape);
    [[nodiscard]] QColor brushColor() const { return brushColor_; }
    void setBrushColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape shape_ = RoundSquare;
    QColor brushColor_ = Qt::white;
};
