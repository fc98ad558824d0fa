// SPDX-License-Identifier: MIT
#include "ComSetupDialog.h"

#include "TComPort.h"
#include "ui_ComSetupDialog.h"

#include <QIntValidator>
#include <QMessageBox>
#include <QSerialPortInfo>

namespace calimbra {
namespace {

template <typename Enum>
void selectData(QComboBox* box, Enum value)
{
    box->setCurrentIndex(std::max(0, box->findData(QVariant::fromValue(value))));
}

template <typename Enum>
Enum selectedData(const QComboBox* box)
{
    return box->currentData().template value<Enum>();
}

constexpr int kHighestBaudRate = 4'000'000;

} // namespace

ComSetupDialog::ComSetupDialog(const ComPortSettings& current, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ComSetupDialog>())
{
    ui_->setupUi(this);
    listPorts(current.portName);
    listChoices(current);
}

ComSetupDialog::~ComSetupDialog() = default;

void ComSetupDialog::listPorts(const QString& current)
{
    // Asked afresh each time the dialog opens, so an adapter plugged in a moment ago is listed.
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& port : ports) {
        QString text = port.systemLocation();
        const QString about = port.description().isEmpty() ? port.manufacturer() : port.description();
        if (!about.isEmpty())
            text += QStringLiteral(" \u2014 ") + about;
        ui_->portBox->addItem(text, port.systemLocation());
    }
    // A listed path shows with its description; a name such as "COM1" stays as it was given.
    const int listed = ui_->portBox->findData(current);
    if (listed >= 0)
        ui_->portBox->setCurrentIndex(listed);
    else
        ui_->portBox->setEditText(current);
}

void ComSetupDialog::listChoices(const ComPortSettings& current)
{
    for (const qint32 rate : QSerialPortInfo::standardBaudRates())
        ui_->baudRateBox->addItem(QString::number(rate), rate);
    ui_->baudRateBox->setValidator(new QIntValidator(1, kHighestBaudRate, ui_->baudRateBox));
    ui_->baudRateBox->setEditText(QString::number(current.baudRate));

    const std::pair<QString, QSerialPort::DataBits> dataBits[] = {
        {QStringLiteral("5"), QSerialPort::Data5},
        {QStringLiteral("6"), QSerialPort::Data6},
        {QStringLiteral("7"), QSerialPort::Data7},
        {QStringLiteral("8"), QSerialPort::Data8},
    };
    for (const auto& [text, value] : dataBits)
        ui_->dataBitsBox->addItem(text, QVariant::fromValue(value));
    selectData(ui_->dataBitsBox, current.dataBits);

    const std::pair<QString, QSerialPort::Parity> parities[] = {
        {tr("None"), QSerialPort::NoParity},     {tr("Even"), QSerialPort::EvenParity},
        {tr("Odd"), QSerialPort::OddParity},     {tr("Mark"), QSerialPort::MarkParity},
        {tr("Space"), QSerialPort::SpaceParity},
    };
    for (const auto& [text, value] : parities)
        ui_->parityBox->addItem(text, QVariant::fromValue(value));
    selectData(ui_->parityBox, current.parity);

    const std::pair<QString, QSerialPort::StopBits> stopBits[] = {
        {QStringLiteral("1"), QSerialPort::OneStop},
        {QStringLiteral("1.5"), QSerialPort::OneAndHalfStop},
        {QStringLiteral("2"), QSerialPort::TwoStop},
    };
    for (const auto& [text, value] : stopBits)
        ui_->stopBitsBox->addItem(text, QVariant::fromValue(value));
    selectData(ui_->stopBitsBox, current.stopBits);

    const std::pair<QString, QSerialPort::FlowControl> flowControls[] = {
        {tr("None"), QSerialPort::NoFlowControl},
        {tr("Hardware (RTS/CTS)"), QSerialPort::HardwareControl},
        {tr("Software (XON/XOFF)"), QSerialPort::SoftwareControl},
    };
    for (const auto& [text, value] : flowControls)
        ui_->flowControlBox->addItem(text, QVariant::fromValue(value));
    selectData(ui_->flowControlBox, current.flowControl);
}

ComPortSettings ComSetupDialog::settings() const
{
    ComPortSettings chosen;
    const QString typed = ui_->portBox->currentText().trimmed();
    const int listed = ui_->portBox->findText(typed);
    chosen.portName = listed >= 0 ? ui_->portBox->itemData(listed).toString() : typed;
    chosen.baudRate = ui_->baudRateBox->currentText().toInt();
    chosen.dataBits = selectedData<QSerialPort::DataBits>(ui_->dataBitsBox);
    chosen.parity = selectedData<QSerialPort::Parity>(ui_->parityBox);
    chosen.stopBits = selectedData<QSerialPort::StopBits>(ui_->stopBitsBox);
    chosen.flowControl = selectedData<QSerialPort::FlowControl>(ui_->flowControlBox);
    return chosen;
}

void ComSetupDialog::accept()
{
    // Refuse what cannot work here rather than failing at the next request.
    const QString typed = ui_->portBox->currentText();
    int position = 0;
    QString baud = ui_->baudRateBox->currentText();
    if (typed.trimmed().isEmpty()) {
        QMessageBox::warning(this, windowTitle(), tr("Choose a serial port or type its device path."));
        ui_->portBox->setFocus();
        return;
    }
    if (ui_->baudRateBox->validator()->validate(baud, position) != QValidator::Acceptable) {
        QMessageBox::warning(this, windowTitle(),
                             tr("The baud rate must be a whole number from 1 to %1.").arg(kHighestBaudRate));
        ui_->baudRateBox->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace calimbra

namespace calimbra {

void ShowSetupDialog(TComPort& port, QWidget* parent)
{
    ComSetupDialog dialog(port.settings(), parent);
    if (dialog.exec() == QDialog::Accepted)
        port.setSettings(dialog.settings());
}

} // namespace calimbra
