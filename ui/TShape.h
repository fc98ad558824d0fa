#pragma once

#include <QColor>
#include <QWidget>

// A filled geometric shape with a one-pixel outline, used for the panel's lamps.
class TShape : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(Shape shape READ shape WRITE setShape)
    Q_PROPERTY(QColor brushColor READ brushColor WRITE setBrushColor)
    Q_PROPERTY(QColor penColor READ penColor WRITE setPenColor)

public:
    // Square, round square and circle keep their sides equal, centred in the widget.
    enum Shape { Rectangle, Square, RoundRect, RoundSquare, Ellipse, Circle };
    Q_ENUM(Shape)

    explicit TShape(QWidget* parent = nullptr);

    [[nodiscard]] Shape shape() const { return shape_; }
    void setShape(Shape shape);
    [[nodiscard]] QColor brushColor() const { return brushColor_; }
    void setBrushColor(const QColor& color);
    [[nodiscard]] QColor penColor() const { return penColor_; }
    void setPenColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape shape_ = Rectangle;
    QColor brushColor_ = Qt::white;
    QColor penColor_ = Qt::black;
};
