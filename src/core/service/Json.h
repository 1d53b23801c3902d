#pragma once

// A small JSON value for the backup manifest and the settings files: null, true/false,
// numbers (kept as 64-bit integers or doubles), strings, arrays and objects (members in
// the order they were written). Core links only the standard library, so it carries its
// own reader and writer rather than a JSON library.
//
//   Json manifest = Json::Object();
//   manifest.Set("model", Json(6));
//   std::string text = manifest.Dump();
//   Json read;
//   std::string why;
//   if (!Json::Parse(text, read, why)) ...;
//   const Json* model = read.Find("model");

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kp70 {

class Json {
public:
    enum class Type { Null, Bool, Integer, Real, String, Array, Object };

    Json() = default;
    explicit Json(bool value) : m_type(Type::Bool), m_bool(value) {}
    explicit Json(int value) : m_type(Type::Integer), m_integer(value) {}
    explicit Json(std::int64_t value) : m_type(Type::Integer), m_integer(value) {}
    explicit Json(double value) : m_type(Type::Real), m_real(value) {}
    explicit Json(std::string value) : m_type(Type::String), m_string(std::move(value)) {}
    explicit Json(const char* value) : m_type(Type::String), m_string(value) {}
    static Json Array() {
        Json j;
        j.m_type = Type::Array;
        return j;
    }
    static Json Object() {
        Json j;
        j.m_type = Type::Object;
        return j;
    }

    Type GetType() const { return m_type; }
    bool IsNull() const { return m_type == Type::Null; }
    bool IsBool() const { return m_type == Type::Bool; }
    bool IsInteger() const { return m_type == Type::Integer; }
    bool IsString() const { return m_type == Type::String; }
    bool IsArray() const { return m_type == Type::Array; }
    bool IsObject() const { return m_type == Type::Object; }

    bool AsBool() const { return m_bool; }
    std::int64_t AsInteger() const { return m_integer; }
    const std::string& AsString() const { return m_string; }
    const std::vector<Json>& Items() const { return m_items; }
    const std::vector<std::pair<std::string, Json>>& Members() const { return m_members; }

    // Arrays: appends. Objects: sets the member (replacing one of the same name).
    void Push(Json value) { m_items.push_back(std::move(value)); }
    void Set(const std::string& name, Json value);
    // The member called name, or nullptr (also for a value that is no object).
    const Json* Find(const std::string& name) const;

    // The text, two spaces of indentation per level.
    std::string Dump() const;

    // Reads one JSON value that fills text (blanks around it allowed). False, with `why`
    // naming the offset, for anything else; nesting deeper than 64 levels is refused.
    static bool Parse(const std::string& text, Json& value, std::string& why);

private:
    void DumpTo(std::string& out, int indent) const;

    Type m_type = Type::Null;
    bool m_bool = false;
    std::int64_t m_integer = 0;
    double m_real = 0;
    std::string m_string;
    std::vector<Json> m_items;
    std::vector<std::pair<std::string, Json>> m_members;
};

// text as a JSON string literal: quoted, with quotes, backslashes and control characters
// escaped.
std::string JsonQuote(const std::string& text);

}  // namespace kp70
