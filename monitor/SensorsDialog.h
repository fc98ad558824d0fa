// SPDX-License-Identifier: MIT
#pragma once

#include "Profile.h"

#include <QDialog>
#include <QMap>
#include <QString>

#include <memory>
#include <variant>

namespace Ui {
class SensorsDialog;
}

namespace calimbra {

// The sensors' profiles as a table to edit: a row a sensor, saved into the board's file (the
// [sensor.N] sections; every other line of the file stays). Nothing is saved while a value is
// wrong: the message names the sensor and what to correct.
class SensorsDialog : public QDialog
{
    Q_OBJECT

public:
    // `path`: the board's file; empty when there is none yet, and Save asks for one.
    SensorsDialog(const QMap<int, SensorProfile>& profiles, const QString& path, QWidget* parent = nullptr);
    ~SensorsDialog() override;

    // The profiles the table holds (the sensors with a profile before, and those given one), or
    // what is wrong.
    [[nodiscard]] std::variant<QMap<int, SensorProfile>, QString> edited() const;
    // Checks and saves there; false with the message shown in the dialog.
    bool saveTo(const QString& path);

signals:
    void saved(const QString& path, const QMap<int, SensorProfile>& profiles);

private:
    void fill(const QMap<int, SensorProfile>& profiles);
    void save();
    void showProblem(const QString& message);

    std::unique_ptr<Ui::SensorsDialog> ui;
    QMap<int, SensorProfile> original_;
    QString path_;
};

} // namespace calimbra
