// SPDX-License-Identifier: MIT
#pragma once

#include "Error.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <any>
#include <chrono>
#include <functional>
#include <map>
#include <optional>

namespace calimbra {

// A value a setting cannot take, said as what it takes: "takes a number of seconds from 0.1 to
// 86400." The command line puts it after the option, the board's file after file:line: key.
class SettingError : public Error
{
public:
    using Error::Error;
};

// A setting's name, tied to the type of its value.
template <typename T>
struct SettingKey
{
    const char* name;
};

// What a program was told, from the board's file and the command line, each value already judged.
class Settings
{
public:
    template <typename T>
    [[nodiscard]] std::optional<T> get(SettingKey<T> key) const
    {
        const auto found = values_.find(QString::fromLatin1(key.name));
        if (found == values_.end())
            return std::nullopt;
        return std::any_cast<T>(found->second);
    }
    template <typename T>
    [[nodiscard]] T value(SettingKey<T> key, T fallback) const
    {
        return get(key).value_or(std::move(fallback));
    }
    template <typename T>
    void set(SettingKey<T> key, T value)
    {
        values_[QString::fromLatin1(key.name)] = std::move(value);
    }
    template <typename T>
    [[nodiscard]] bool contains(SettingKey<T> key) const
    {
        return values_.count(QString::fromLatin1(key.name)) > 0;
    }

    void setJudged(const QString& name, std::any value) { values_[name] = std::move(value); }
    // Those given in `over` replace these: the command line over the board's file.
    void merge(const Settings& over);

private:
    std::map<QString, std::any> values_;
};

// One setting, as the board's file and the command line both know it: its names, its help, and the
// one judge of its text.
struct Setting
{
    enum class Form {
        Text,
        Path, // a file or folder: in the board's file, relative to the file's own folder
        Flag, // on the command line an option without a value, setting flagValue
    };

    QString name;       // its key in the board's file ("outbox_limit"), and in Settings
    bool inFile = true; // false: the command line only
    QString option;     // on the command line ("outbox-limit"); empty: the board's file only
    QString valueName;  // for --help
    QString help;       // for --help
    Form form = Form::Text;
    std::function<std::any(const QString& text)> judge; // throws SettingError
    std::any flagValue;
};

// The settings of one part (the board, each output), listed where that part lives.
struct SettingTable
{
    QList<Setting> settings;
};

// A table entry for a key of type T, judged by `judge`: T(const QString&), throwing SettingError.
template <typename T, typename Judge>
[[nodiscard]] Setting setting(SettingKey<T> key, const QString& option, const QString& valueName,
                              const QString& help, Judge judge, Setting::Form form = Setting::Form::Text)
{
    Setting entry;
    entry.name = QString::fromLatin1(key.name);
    entry.option = option;
    entry.valueName = valueName;
    entry.help = help;
    entry.form = form;
    entry.judge = [judge](const QString& text) -> std::any { return T(judge(text)); };
    return entry;
}

// The same entry, known to the command line only.
[[nodiscard]] inline Setting commandLineOnly(Setting entry)
{
    entry.inFile = false;
    return entry;
}

// The judges settings share. Each throws SettingError saying what the setting takes.
namespace judge {

// A number with a decimal point (a comma is refused: it is never a thousands separator here).
[[nodiscard]] double number(const QString& text, const QString& takes);
[[nodiscard]] double numberBetween(const QString& text, double low, double high, const QString& takes);
[[nodiscard]] int whole(const QString& text, int low, int high, const QString& takes);
[[nodiscard]] qint64 whole64(const QString& text, qint64 low, qint64 high, const QString& takes);
[[nodiscard]] bool yesOrNo(const QString& text);
[[nodiscard]] QString nonEmpty(const QString& text, const QString& takes);
// Seconds as a duration, from `low` to `high` seconds.
[[nodiscard]] std::chrono::milliseconds seconds(const QString& text, double low, double high);

} // namespace judge

} // namespace calimbra
