// SPDX-License-Identifier: MIT
#pragma once

#include "ComPortSettings.h"

#include <QDialog>

#include <memory>

class TComPort;

namespace Ui {
class ComSetupDialog;
}

namespace calimbra {

// The serial settings dialog: present ports with their descriptions (or any path typed in),
// speed and framing. It only hands back the chosen settings; the port applies them.
class ComSetupDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ComSetupDialog(const ComPortSettings& current, QWidget* parent = nullptr);
    ~ComSetupDialog() override;

    [[nodiscard]] ComPortSettings settings() const;

public slots:
    void accept() override;

private:
    void listPorts(const QString& current);
    void listChoices(const ComPortSettings& current);

    std::unique_ptr<Ui::ComSetupDialog> ui_;
};

// The port's setup dialog, modal: OK applies the chosen settings to the port for this run, Cancel
// changes nothing.
void ShowSetupDialog(TComPort& port, QWidget* parent = nullptr);

} // namespace calimbra
