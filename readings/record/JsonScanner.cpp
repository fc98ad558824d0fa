// SPDX-License-Identifier: MIT
#include "JsonScanner.h"

#include "Ascii.h"

namespace calimbra {
namespace {

using ascii::isDigit;
using ascii::isSpace;

void appendUtf8(QByteArray& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

bool JsonScanner::expect(char c)
{
    skipSpace();
    if (at_ == end_ || *at_ != c)
        return false;
    ++at_;
    return true;
}

bool JsonScanner::peek(char c)
{
    skipSpace();
    return at_ != end_ && *at_ == c;
}

bool JsonScanner::atEnd()
{
    skipSpace();
    return at_ == end_;
}

bool JsonScanner::string(Value& value)
{
    skipSpace();
    if (at_ == end_ || *at_ != '"')
        return false;
    const char* begin = ++at_;
    bool escaped = false;
    while (at_ != end_ && *at_ != '"') {
        if (static_cast<unsigned char>(*at_) < 0x20)
            return false;
        if (*at_ == '\\') {
            escaped = true;
            if (++at_ == end_)
                return false;
        }
        ++at_;
    }
    if (at_ == end_)
        return false;
    value = {Kind::String, QByteArrayView(begin, at_ - begin), escaped};
    ++at_;
    return true;
}

bool JsonScanner::value(Value& value)
{
    skipSpace();
    if (at_ == end_)
        return false;
    if (*at_ == '"')
        return string(value);
    if (*at_ == '{' || *at_ == '[')
        return skipNested(value);
    const char* begin = at_;
    while (at_ != end_ && *at_ != ',' && *at_ != '}' && *at_ != ']' && !isSpace(*at_))
        ++at_;
    const QByteArrayView word(begin, at_ - begin);
    if (word.isEmpty())
        return false;
    if (word == "null")
        value = {Kind::Null, word, false};
    else if (word == "true" || word == "false")
        value = {Kind::Other, word, false};
    else if (isDigit(word.front()) || word.front() == '-')
        value = {Kind::Number, word, false};
    else
        return false;
    return true;
}

bool JsonScanner::unescape(QByteArrayView text, QByteArray& out)
{
    out.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '"':
        case '\\':
        case '/':
            out += text[i];
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            const auto unit = hex4(text, i + 1);
            if (!unit)
                return false;
            i += 4;
            char32_t code = *unit;
            if (code >= 0xD800 && code < 0xDC00 && i + 6 < text.size() && text[i + 1] == '\\' &&
                text[i + 2] == 'u') {
                const auto low = hex4(text, i + 3);
                if (low && *low >= 0xDC00 && *low < 0xE000) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                    i += 6;
                }
            }
            if (code >= 0xD800 && code < 0xE000)
                code = 0xFFFD;
            appendUtf8(out, code);
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

void JsonScanner::skipSpace()
{
    while (at_ != end_ && (isSpace(*at_) || *at_ == '\r'))
        ++at_;
}

std::optional<char32_t> JsonScanner::hex4(QByteArrayView text, qsizetype from)
{
    if (from + 4 > text.size())
        return std::nullopt;
    char32_t code = 0;
    for (qsizetype i = from; i < from + 4; ++i) {
        const char c = text[i];
        const int digit = isDigit(c)             ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return std::nullopt;
        code = code * 16 + static_cast<char32_t>(digit);
    }
    return code;
}

bool JsonScanner::skipNested(Value& value)
{
    const char* begin = at_;
    int depth = 0;
    while (at_ != end_) {
        const char c = *at_;
        if (c == '"') {
            Value ignored;
            if (!string(ignored))
                return false;
            continue;
        }
        ++at_;
        if (c == '{' || c == '[')
            ++depth;
        else if ((c == '}' || c == ']') && --depth == 0)
            break;
    }
    if (depth != 0)
        return false;
    value = {Kind::Other, QByteArrayView(begin, at_ - begin), false};
    return true;
}

} // namespace calimbra
