#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One JSON value, as small as the engine's IPC needs. Strings are kept as
// bytes: the engine writes file names that are not valid UTF-8 as they are,
// and they must come through unchanged.
class JsonValue
{
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    // The value text holds, surrounding white space allowed; nothing when it
    // is malformed, has trailing text, or nests deeper than is sane.
    static std::optional<JsonValue> parse(std::string_view text);

    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member of an object named name, or nullptr.
    const JsonValue *member(std::string_view name) const;
    // The member's text when it is a string, else fallback.
    std::string_view text(std::string_view name, std::string_view fallback = {}) const;
    // The member's number when it is one, else fallback.
    double numberOf(std::string_view name, double fallback) const;
    // The member's truth when it is a boolean, else fallback.
    bool flag(std::string_view name, bool fallback) const;
};

// bytes as a JSON string literal: quotes, backslashes and control bytes
// escaped, every other byte as it is.
std::string jsonQuoted(std::string_view bytes);
