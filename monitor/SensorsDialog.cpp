// SPDX-License-Identifier: MIT
#include "SensorsDialog.h"

#include "BoardConfig.h"
#include "BoardProtocol.h"
#include "Error.h"
#include "ui_SensorsDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>

#include <cmath>

using namespace std::chrono;

namespace calimbra {
namespace {

enum Column {
    NameColumn,
    OffsetColumn,
    LowColumn,
    HighColumn,
    HysteresisColumn,
    ForColumn,
    LostColumn,
    FaultColumn
};

constexpr double kLongestDelaySeconds = 86400;

// Numbers in the operator's own way (a comma in Portuguese), never with group separators, which
// would make "1.500" a thousand and a half; the C way is taken too.
QLocale numberLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

QString numberText(double value)
{
    return numberLocale().toString(value, 'f', QLocale::FloatingPointShortest);
}

std::optional<double> number(const QString& text)
{
    bool ok = false;
    double value = numberLocale().toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator;
    });
}

} // namespace

SensorsDialog::SensorsDialog(const QMap<int, SensorProfile>& profiles, const QString& path, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::SensorsDialog>()), original_(profiles), path_(path)
{
    ui->setupUi(this);
    QHeaderView* header = ui->table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    ui->fileLabel->setText(path_.isEmpty()
                               ? tr("No board's file yet: Save asks where to keep the profiles.")
                               : tr("Saved in the board's file %1, which calimbra-cli --config reads too; "
                                    "its other lines stay as they are.")
                                     .arg(QDir::toNativeSeparators(path_)));
    ui->messageLabel->hide();
    connect(ui->buttonBox->button(QDialogButtonBox::Save), &QPushButton::clicked, this, &SensorsDialog::save);
    fill(profiles);
}

SensorsDialog::~SensorsDialog() = default;

void SensorsDialog::fill(const QMap<int, SensorProfile>& profiles)
{
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        const SensorProfile profile = profiles.value(sensor);
        const int row = sensor - 1;
        const auto optionalText = [](std::optional<double> value) {
            return value ? numberText(*value) : QString();
        };
        const QStringList texts = {profile.name,
                                   numberText(profile.offset),
                                   optionalText(profile.low),
                                   optionalText(profile.high),
                                   numberText(profile.hysteresis),
                                   numberText(static_cast<double>(profile.delay.count()) / 1000),
                                   QString::number(profile.lostAfter)};
        for (int column = NameColumn; column < FaultColumn; ++column) {
            auto* item = new QTableWidgetItem(texts.at(column));
            if (column != NameColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            ui->table->setItem(row, column, item);
        }
        auto* faults = new QTableWidgetItem;
        faults->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        faults->setCheckState(profile.faultValues ? Qt::Checked : Qt::Unchecked);
        ui->table->setItem(row, FaultColumn, faults);
    }
}

std::variant<QMap<int, SensorProfile>, QString> SensorsDialog::edited() const
{
    QMap<int, SensorProfile> profiles;
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        const int row = sensor - 1;
        const auto text = [&](int column) { return ui->table->item(row, column)->text().trimmed(); };
        const auto header = [&](int column) { return ui->table->horizontalHeaderItem(column)->text(); };
        const auto notANumber = [&](int column) {
            return tr("S%1: %2 takes a number, not \"%3\".").arg(sensor).arg(header(column), text(column));
        };
        SensorProfile profile;
        profile.name = text(NameColumn);
        if (hasControlCharacter(profile.name))
            return tr("S%1: the name holds a control character (a tab or a line break); a name is one line "
                      "of "
                      "printable text.")
                .arg(sensor);
        for (const auto& [column, value] :
             {std::pair{OffsetColumn, &profile.offset}, std::pair{HysteresisColumn, &profile.hysteresis}}) {
            if (text(column).isEmpty())
                continue;
            const auto given = number(text(column));
            if (!given)
                return notANumber(column);
            *value = *given;
        }
        for (const auto& [column, limit] :
             {std::pair{LowColumn, &profile.low}, std::pair{HighColumn, &profile.high}}) {
            if (text(column).isEmpty())
                continue;
            *limit = number(text(column));
            if (!*limit)
                return notANumber(column);
        }
        if (profile.low && profile.high && *profile.low >= *profile.high)
            return tr("S%1: the low limit (%2 °C) must be below the high limit (%3 °C).")
                .arg(sensor)
                .arg(numberText(*profile.low), numberText(*profile.high));
        if (profile.hysteresis < 0)
            return tr("S%1: the hysteresis is a distance back inside a limit: 0 °C or more.").arg(sensor);
        if (!text(ForColumn).isEmpty()) {
            const auto seconds = number(text(ForColumn));
            if (!seconds || *seconds < 0 || *seconds > kLongestDelaySeconds)
                return tr("S%1: %2 takes seconds from 0 to 86400, not \"%3\".")
                    .arg(sensor)
                    .arg(header(ForColumn), text(ForColumn));
            profile.delay = milliseconds{std::llround(*seconds * 1000)};
        }
        if (!text(LostColumn).isEmpty()) {
            bool ok = false;
            profile.lostAfter = text(LostColumn).toInt(&ok);
            if (!ok || profile.lostAfter < 1)
                return tr("S%1: %2 takes a whole number of rounds, 1 or more, not \"%3\".")
                    .arg(sensor)
                    .arg(header(LostColumn), text(LostColumn));
        }
        profile.faultValues = ui->table->item(row, FaultColumn)->checkState() == Qt::Checked;
        // A sensor given a profile before keeps its section, so that values put back to their
        // defaults are written back too.
        if (original_.contains(sensor) || profile != SensorProfile())
            profiles.insert(sensor, profile);
    }
    return profiles;
}

void SensorsDialog::save()
{
    if (!path_.isEmpty()) {
        saveTo(path_);
        return;
    }
    auto* chooser = new QFileDialog(this, tr("Save the sensors' profiles to"), QDir::homePath(),
                                    tr("Board's files (*.conf);;All files (*)"));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setAcceptMode(QFileDialog::AcceptSave);
    chooser->setDefaultSuffix(QStringLiteral("conf"));
    connect(chooser, &QFileDialog::fileSelected, this, [this](const QString& file) { saveTo(file); });
    chooser->open();
}

bool SensorsDialog::saveTo(const QString& path)
{
    const auto profiles = edited();
    if (const auto* problem = std::get_if<QString>(&profiles)) {
        showProblem(*problem + u' ' + tr("Correct it and save again."));
        return false;
    }
    try {
        saveSensorProfiles(path, std::get<QMap<int, SensorProfile>>(profiles));
    } catch (const Error& error) {
        showProblem(error.message());
        return false;
    }
    path_ = path;
    emit saved(path, std::get<QMap<int, SensorProfile>>(profiles));
    accept();
    return true;
}

void SensorsDialog::showProblem(const QString& message)
{
    ui->messageLabel->setText(message);
    ui->messageLabel->show();
}

} // namespace calimbra
