// SPDX-License-Identifier: MIT
#pragma once

#include "Colors.h"
#include "Protocol.h"

#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class TForm1;
}
class TShape;

// The panel's one window. Every control and every binding of an event to a handler comes from
// CalimbraUnit1.ui; the handlers below are all the behaviour there is.
class TForm1 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm1(QWidget* owner = nullptr);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Talks to this port for the rest of the run instead of the one the layout names.
    void usePort(const QString& portName);

private slots:
    void Liga_LEDClick();
    void Desliga_LEDClick();
    void RX_InfoClick();
    void Button1Click();
    void Button2Click();
    void BitBtn1Click();
    void Timer1Timer();
    void ComPort1RxChar(QObject* Sender, int Count);
    void ComPort1LineFailed(const QString& message);

private:
    void switchLed(calimbra::TColor led1Color, calimbra::TColor led2Color);
    void describeLeds();
    void showReply(std::monostate);
    void showReply(const calimbra::SensorCountReply& reply);
    void showReply(const calimbra::TemperatureReply& reply);
    void showSensorCount(int count);
    void showDate();

    std::unique_ptr<Ui::TForm1> ui;
    std::array<TShape*, 9> sensorLamps_{};
};
