#include "Numbers.h"

#include <algorithm>
#include <cctype>

std::optional<int32_t> StrToIntStrict(std::string_view Text)
{
    size_t i = 0;
    while (i < Text.size() && (Text[i] == ' ' || Text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) {
        negative = Text[i] == '-';
        ++i;
    }
    const std::string_view rest = Text.substr(i);
    size_t prefix = 0;
    if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X'))
        prefix = 1;
    else if (rest.starts_with("0x") || rest.starts_with("0X"))
        prefix = 2;

    if (prefix > 0) {
        const std::string_view digits = rest.substr(prefix);
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        uint32_t value = 0;
        for (char c : digits) {
            uint32_t d;
            if (c >= '0' && c <= '9')
                d = uint32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                d = uint32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                d = uint32_t(c - 'A' + 10);
            else
                return std::nullopt;
            value = value * 16 + d;
        }
        if (negative)
            value = 0u - value;
        return int32_t(value);
    }

    if (rest.empty())
        return std::nullopt;
    int64_t value = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return std::nullopt;
    return int32_t(value);
}

std::string QuoteForMessage(std::string_view Text)
{
    if (Text.size() <= MaxQuotedLength)
        return "'" + std::string(Text) + "'";
    return "'" + std::string(Text.substr(0, MaxQuotedLength)) + "...' (" + std::to_string(Text.size()) +
           " characters)";
}

std::string Lower(std::string Text)
{
    std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return Text;
}
