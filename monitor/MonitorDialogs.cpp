// SPDX-License-Identifier: MIT
#include "MonitorDialogs.h"

#include "Text.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

namespace calimbra {
namespace {

QString remembered(const QString& path, QString& folder)
{
    if (!path.isEmpty())
        folder = QFileInfo(path).absolutePath();
    return path;
}

} // namespace

QString askRecordFile(QWidget* parent, QString& folder)
{
    return remembered(QFileDialog::getSaveFileName(
                          parent, tr("Record readings to"), folder + QStringLiteral("/calimbra.csv"),
                          tr("CSV files (*.csv)"), nullptr, QFileDialog::DontConfirmOverwrite),
                      folder);
}

QString askLogFile(QWidget* parent, QString& folder)
{
    return remembered(
        QFileDialog::getOpenFileName(parent, tr("Open a log"), folder,
                                     tr("Logs (*.csv *.jsonl *.json *.log *.txt);;All files (*)")),
        folder);
}

QString askExportFile(QWidget* parent, QString& folder)
{
    return remembered(QFileDialog::getSaveFileName(
                          parent, tr("Export the chart"), folder + QStringLiteral("/calimbra-chart.png"),
                          tr("PNG image (*.png);;SVG drawing (*.svg);;CSV readings (*.csv)")),
                      folder);
}

void showBoardFileProblem(QWidget* parent, const QString& message)
{
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Calimbra Monitor"),
                                tr("The board's file could not be read, so the monitor starts without the "
                                   "sensors' names, offsets and alarms. Correct the file and start the "
                                   "monitor again, or save new profiles with Sensors…"),
                                QMessageBox::Ok, parent);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Once the window is up, so that the box sits over it.
    QTimer::singleShot(0, box, [box] { box->open(); });
}

} // namespace calimbra
