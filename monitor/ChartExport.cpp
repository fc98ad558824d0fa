// SPDX-License-Identifier: MIT
#include "ChartExport.h"

#include "ReadingHistory.h"
#include "TemperatureChart.h"
#include "Text.h"

#include <QChartView>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace calimbra {

bool exportChart(const QString& path, QChartView& view, const TemperatureChart& chart,
                 const ReadingHistory& history)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv")) {
        QSaveFile file(path);
        const auto [from, to] = chart.shownRange();
        return file.open(QIODevice::WriteOnly) &&
               history.store().writeLog(file, LogFormat::Csv, from, to, chart.visibleSensors(),
                                        [&history](int sensor) { return history.stats().at(sensor).name; }) &&
               file.commit();
    }
    if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(view.size());
        svg.setViewBox(view.rect());
        svg.setTitle(tr("Calimbra temperatures"));
        QPainter painter;
        if (!painter.begin(&svg))
            return false;
        view.render(&painter);
        return painter.end();
    }
    return view.grab().save(path, suffix == QLatin1String("png") || suffix.isEmpty() ? "PNG" : nullptr);
}

} // namespace calimbra
