// SPDX-License-Identifier: MIT
#include "CalimbraUnit1.h"

#include "ui_CalimbraUnit1.h"

#include "ComSetupDialog.h"
#include "Cp1252.h"
#include "DateTimeText.h"
#include "ErrorHandler.h"
#include "Protocol.h"

#include <variant>

using namespace calimbra;

namespace {

// The look of a switched-off LED2; LED1 is dark green (clGreen) when off.
constexpr TColor kLed2Off = 0x8080FF;

// Edit boxes show a reply from its first character, as the operator reads it.
void showText(QLineEdit* box, const QString& text)
{
    box->setText(text);
    box->setCursorPosition(0);
}

} // namespace

TForm1::TForm1(QWidget* owner) : QWidget(owner), ui(std::make_unique<Ui::TForm1>())
{
    ui->setupUi(this);
    move(property("designedPosition").toPoint());
    sensorLamps_ = {ui->Shape9,  ui->Shape10, ui->Shape11, ui->Shape12, ui->Shape16,
                    ui->Shape17, ui->Shape18, ui->Shape19, ui->Shape20};
    // The selector may hold no more than the request box can show after "&l=", so nothing typed
    // is cut off unseen on its way to the board.
    ui->ComboBox1->lineEdit()->setMaxLength(ui->Edit3->maxLength() -
                                            static_cast<int>(measurementRequestText(QStringView()).size()));
    showSensorCount(0);
    describeLeds();
    showDate();
}

TForm1::~TForm1() = default;

void TForm1::usePort(const QString& portName)
{
    ui->ComPort1->setPortName(portName);
}

void TForm1::showDate()
{
    ui->Label8->setText(dateText(QDate::currentDate()));
}

void TForm1::Timer1Timer()
{
    guarded([&] {
        ui->Label6->setText(clockText(QTime::currentTime()));
        // Left running past midnight, the panel shows the new day.
        if (ui->Label8->text() != dateText(QDate::currentDate()))
            showDate();
    });
}

void TForm1::switchLed(TColor led1Color, TColor led2Color)
{
    // The board is told only "&a"; which LED and state the operator chose lives in the lamps alone.
    const int led = ui->RadioGroup1->itemIndex();
    const bool known = led == 0 || led == 1;
    sendRequest(*ui->ComPort1, RequestKind::LedCommand, known ? ledCommand() : QByteArray());
    if (led == 0)
        ui->Shape2->setBrushColor(toQColor(led1Color));
    else if (led == 1)
        ui->Shape3->setBrushColor(toQColor(led2Color));
    describeLeds();
}

void TForm1::describeLeds()
{
    ui->Shape2->setAccessibleDescription(ui->Shape2->brushColor() == toQColor(clLime) ? tr("LED1: on")
                                                                                      : tr("LED1: off"));
    ui->Shape3->setAccessibleDescription(ui->Shape3->brushColor() == toQColor(clRed) ? tr("LED2: on")
                                                                                     : tr("LED2: off"));
}

void TForm1::Liga_LEDClick()
{
    guarded([&] { switchLed(clLime, clRed); });
}

void TForm1::Desliga_LEDClick()
{
    guarded([&] { switchLed(clGreen, kLed2Off); });
}

void TForm1::RX_InfoClick()
{
    guarded([&] { sendRequest(*ui->ComPort1, RequestKind::Information, informationRequest()); });
}

void TForm1::Button2Click()
{
    guarded([&] {
        beginRequest(*ui->ComPort1);
        // Shown as the code page carries it, each character it lacks as "?", so box and line agree.
        showText(ui->Edit3, fromCp1252(toCp1252(measurementRequestText(ui->ComboBox1->currentText()))));
        // What goes on the line is what the operator sees as sent.
        finishRequest(*ui->ComPort1, RequestKind::Measurement, toCp1252(ui->Edit3->text()));
    });
}

void TForm1::Button1Click()
{
    guarded([&] { ShowSetupDialog(*ui->ComPort1, this); });
}

void TForm1::BitBtn1Click()
{
    guarded([&] { ui->ComPort1->Close(); });
}

void TForm1::ComPort1RxChar(QObject*, int)
{
    guarded([&] { std::visit([this](const auto& reply) { showReply(reply); }, receiveStep(*ui->ComPort1)); });
}

void TForm1::showReply(std::monostate) {}

void TForm1::showReply(const SensorCountReply& reply)
{
    showText(ui->Edit2, reply.text);
    if (reply.count)
        showSensorCount(*reply.count);
}

void TForm1::showReply(const TemperatureReply& reply)
{
    showText(ui->Edit1, reply.text);
}

void TForm1::showSensorCount(int count)
{
    // Lamps above the count go dark again, so the row never shows sensors the board has lost.
    for (int slot = 0; slot < static_cast<int>(sensorLamps_.size()); ++slot) {
        TShape* lamp = sensorLamps_[static_cast<std::size_t>(slot)];
        const bool active = slot < count;
        lamp->setBrushColor(toQColor(active ? clRed : clBlack));
        lamp->setAccessibleDescription(active ? tr("Sensor %1: active").arg(slot + 1)
                                              : tr("Sensor %1: not active").arg(slot + 1));
    }
}

void TForm1::ComPort1LineFailed(const QString& message)
{
    ErrorHandler::instance().show(message);
}
