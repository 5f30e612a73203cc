#include "jsonvalue.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int maxDepth = 64;

class Parser
{
public:
    explicit Parser(std::string_view text) : text(text) {}

    bool value(JsonValue &out, int depth)
    {
        skipSpace();
        if (at >= text.size() || depth > maxDepth)
            return false;
        switch (text[at]) {
        case '{':
            return object(out, depth);
        case '[':
            return array(out, depth);
        case '"':
            out.type = JsonValue::Type::String;
            return string(out.string);
        case 't':
            out.type = JsonValue::Type::Bool;
            out.boolean = true;
            return word("true");
        case 'f':
            out.type = JsonValue::Type::Bool;
            return word("false");
        case 'n':
            return word("null");
        default:
            return number(out);
        }
    }

    bool atEnd()
    {
        skipSpace();
        return at == text.size();
    }

private:
    void skipSpace()
    {
        while (at < text.size() &&
               (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
            ++at;
    }

    bool take(char c)
    {
        skipSpace();
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    }

    bool word(std::string_view w)
    {
        if (text.substr(at, w.size()) != w)
            return false;
        at += w.size();
        return true;
    }

    bool number(JsonValue &out)
    {
        const size_t start = at;
        while (at < text.size() &&
               std::string_view("+-0123456789.eE").find(text[at]) != std::string_view::npos)
            ++at;
        if (at == start)
            return false;
        const std::string digits(text.substr(start, at - start));
        char *end = nullptr;
        out.type = JsonValue::Type::Number;
        out.number = std::strtod(digits.c_str(), &end);
        return end == digits.c_str() + digits.size();
    }

    bool hex4(unsigned &code)
    {
        if (at + 4 > text.size())
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text[at++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= unsigned(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    static void appendUtf8(std::string &out, unsigned code)
    {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    bool string(std::string &out)
    {
        ++at; // the opening quote
        while (at < text.size()) {
            const char c = text[at++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out += c; // any other byte, valid UTF-8 or not
                continue;
            }
            if (at >= text.size())
                return false;
            const char e = text[at++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
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
                unsigned code = 0;
                if (!hex4(code))
                    return false;
                if (code >= 0xD800 && code < 0xDC00 && text.substr(at, 2) == "\\u") {
                    const size_t back = at;
                    at += 2;
                    unsigned low = 0;
                    if (hex4(low) && low >= 0xDC00 && low < 0xE000)
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    else
                        at = back;
                }
                appendUtf8(out, code >= 0xD800 && code < 0xE000 ? 0xFFFD : code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    bool array(JsonValue &out, int depth)
    {
        ++at;
        out.type = JsonValue::Type::Array;
        if (take(']'))
            return true;
        do {
            out.items.emplace_back();
            if (!value(out.items.back(), depth + 1))
                return false;
        } while (take(','));
        return take(']');
    }

    bool object(JsonValue &out, int depth)
    {
        ++at;
        out.type = JsonValue::Type::Object;
        if (take('}'))
            return true;
        do {
            skipSpace();
            std::string name;
            if (at >= text.size() || text[at] != '"' || !string(name) || !take(':'))
                return false;
            out.members.emplace_back(std::move(name), JsonValue());
            if (!value(out.members.back().second, depth + 1))
                return false;
        } while (take(','));
        return take('}');
    }

    std::string_view text;
    size_t at = 0;
};

} // namespace

std::optional<JsonValue> JsonValue::parse(std::string_view text)
{
    Parser parser(text);
    JsonValue value;
    if (!parser.value(value, 0) || !parser.atEnd())
        return std::nullopt;
    return value;
}

const JsonValue *JsonValue::member(std::string_view name) const
{
    for (const auto &[key, value] : members) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

std::string_view JsonValue::text(std::string_view name, std::string_view fallback) const
{
    const JsonValue *value = member(name);
    return value && value->type == Type::String ? std::string_view(value->string) : fallback;
}

double JsonValue::numberOf(std::string_view name, double fallback) const
{
    const JsonValue *value = member(name);
    return value && value->type == Type::Number ? value->number : fallback;
}

bool JsonValue::flag(std::string_view name, bool fallback) const
{
    const JsonValue *value = member(name);
    return value && value->type == Type::Bool ? value->boolean : fallback;
}

std::string jsonQuoted(std::string_view bytes)
{
    std::string out = "\"";
    for (const char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}
