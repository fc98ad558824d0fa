// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace calimbra {

// The flat JSON objects the logs write, read without building a document: a value is handed over as
// the text it is written with, strings without their quotes and escapes undone only when they have
// any.
class JsonScanner
{
public:
    enum class Kind { String, Number, Null, Other };
    struct Value
    {
        Kind kind = Kind::Other;
        QByteArrayView text;
        bool escaped = false;
    };

    explicit JsonScanner(QByteArrayView line) : at_(line.data()), end_(line.data() + line.size()) {}

    bool expect(char c);
    bool peek(char c);
    bool atEnd();
    bool string(Value& value);
    bool value(Value& value);

    // The text of a string value with its escapes undone, as UTF-8.
    static bool unescape(QByteArrayView text, QByteArray& out);

private:
    void skipSpace();
    static std::optional<char32_t> hex4(QByteArrayView text, qsizetype from);
    bool skipNested(Value& value);

    const char* at_;
    const char* end_;
};

} // namespace calimbra
