#include "core/service/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kp70 {

namespace {

constexpr int kMaxDepth = 64;

class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}

    bool Read(Json& value, std::string& why) {
        if (!Value(value, 0)) {
            why = m_why + " at offset " + std::to_string(m_at);
            return false;
        }
        Blanks();
        if (m_at != m_text.size()) {
            why = "unexpected text after the JSON value at offset " + std::to_string(m_at);
            return false;
        }
        return true;
    }

private:
    bool Fail(const char* why) {
        m_why = why;
        return false;
    }
    void Blanks() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                        m_text[m_at] == '\n' || m_text[m_at] == '\r'))
            ++m_at;
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (m_text.compare(m_at, w.size(), w) != 0) return Fail("unknown word");
        m_at += w.size();
        return true;
    }
    bool Value(Json& value, int depth) {
        if (depth > kMaxDepth) return Fail("nested too deeply");
        Blanks();
        if (m_at >= m_text.size()) return Fail("a value is missing");
        const char c = m_text[m_at];
        if (c == '{') return ObjectValue(value, depth);
        if (c == '[') return ArrayValue(value, depth);
        if (c == '"') {
            std::string s;
            if (!String(s)) return false;
            value = Json(std::move(s));
            return true;
        }
        if (c == 't') return Literal("true") && (value = Json(true), true);
        if (c == 'f') return Literal("false") && (value = Json(false), true);
        if (c == 'n') return Literal("null") && (value = Json(), true);
        return Number(value);
    }
    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, as JSON writes numbers.
    bool Number(Json& value) {
        const std::size_t start = m_at;
        auto digits = [&] {
            const std::size_t from = m_at;
            while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') ++m_at;
            return m_at - from;
        };
        if (m_at < m_text.size() && m_text[m_at] == '-') ++m_at;
        const std::size_t intStart = m_at;
        const std::size_t intDigits = digits();
        if (intDigits == 0) return Fail("not a JSON value");
        if (intDigits > 1 && m_text[intStart] == '0') return Fail("a number with a leading zero");
        bool real = false;
        if (m_at < m_text.size() && m_text[m_at] == '.') {
            ++m_at;
            if (digits() == 0) return Fail("no digits after the decimal point");
            real = true;
        }
        if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-')) ++m_at;
            if (digits() == 0) return Fail("no digits in the exponent");
            real = true;
        }
        const std::string text = m_text.substr(start, m_at - start);
        if (!real) {
            std::int64_t n = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
            if (ec == std::errc() && end == text.data() + text.size()) {
                value = Json(n);
                return true;
            }
        }
        const double d = std::strtod(text.c_str(), nullptr);
        // JSON has no infinity: 1e999 is refused rather than written back as "inf".
        if (!std::isfinite(d)) return Fail("a number out of range");
        value = Json(d);
        return true;
    }
    static void AppendUtf8(std::string& out, unsigned code) {
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
    bool Hex4(unsigned& code) {
        if (m_at + 4 > m_text.size()) return Fail("a \\u escape is cut short");
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_at++];
            code <<= 4;
            if (c >= '0' && c <= '9') {
                code |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                code |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                code |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return Fail("a \\u escape is not hexadecimal");
            }
        }
        return true;
    }
    bool String(std::string& out) {
        ++m_at;  // the opening quote
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return Fail("a control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_text.size()) break;
            const char e = m_text[m_at++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
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
                    if (!Hex4(code)) return false;
                    if (code >= 0xD800 && code < 0xDC00 && m_text.compare(m_at, 2, "\\u") == 0) {
                        m_at += 2;
                        unsigned low = 0;
                        if (!Hex4(low)) return false;
                        if (low < 0xDC00 || low > 0xDFFF) return Fail("a broken surrogate pair");
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    AppendUtf8(out, code);
                    break;
                }
                default:
                    return Fail("an unknown escape in a string");
            }
        }
        return Fail("a string is not closed");
    }
    bool ArrayValue(Json& value, int depth) {
        ++m_at;
        value = Json::Array();
        Blanks();
        if (m_at < m_text.size() && m_text[m_at] == ']') {
            ++m_at;
            return true;
        }
        for (;;) {
            Json item;
            if (!Value(item, depth + 1)) return false;
            value.Push(std::move(item));
            Blanks();
            if (m_at >= m_text.size()) return Fail("an array is not closed");
            const char c = m_text[m_at++];
            if (c == ']') return true;
            if (c != ',') return Fail("',' or ']' expected");
        }
    }
    bool ObjectValue(Json& value, int depth) {
        ++m_at;
        value = Json::Object();
        Blanks();
        if (m_at < m_text.size() && m_text[m_at] == '}') {
            ++m_at;
            return true;
        }
        for (;;) {
            Blanks();
            if (m_at >= m_text.size() || m_text[m_at] != '"') return Fail("a member name expected");
            std::string name;
            if (!String(name)) return false;
            Blanks();
            if (m_at >= m_text.size() || m_text[m_at] != ':') return Fail("':' expected");
            ++m_at;
            Json member;
            if (!Value(member, depth + 1)) return false;
            value.Set(name, std::move(member));
            Blanks();
            if (m_at >= m_text.size()) return Fail("an object is not closed");
            const char c = m_text[m_at++];
            if (c == '}') return true;
            if (c != ',') return Fail("',' or '}' expected");
        }
    }

    const std::string& m_text;
    std::size_t m_at = 0;
    std::string m_why;
};

}  // namespace

std::string JsonQuote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

void Json::Set(const std::string& name, Json value) {
    for (auto& [key, member] : m_members) {
        if (key == name) {
            member = std::move(value);
            return;
        }
    }
    m_members.emplace_back(name, std::move(value));
}

const Json* Json::Find(const std::string& name) const {
    if (m_type != Type::Object) return nullptr;
    for (const auto& [key, member] : m_members)
        if (key == name) return &member;
    return nullptr;
}

std::string Json::Dump() const {
    std::string out;
    DumpTo(out, 0);
    return out + "\n";
}

void Json::DumpTo(std::string& out, int indent) const {
    const std::string pad(static_cast<std::size_t>(indent + 2), ' ');
    const std::string close(static_cast<std::size_t>(indent), ' ');
    switch (m_type) {
        case Type::Null:
            out += "null";
            break;
        case Type::Bool:
            out += m_bool ? "true" : "false";
            break;
        case Type::Integer:
            out += std::to_string(m_integer);
            break;
        case Type::Real: {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", m_real);
            out += text;
            // Stays a real number when read again ("1.0", "-0.0"), not an integer.
            if (std::string(text).find_first_of(".e") == std::string::npos) out += ".0";
            break;
        }
        case Type::String:
            out += JsonQuote(m_string);
            break;
        case Type::Array:
            if (m_items.empty()) {
                out += "[]";
                break;
            }
            out += "[\n";
            for (std::size_t i = 0; i < m_items.size(); ++i) {
                out += pad;
                m_items[i].DumpTo(out, indent + 2);
                out += i + 1 < m_items.size() ? ",\n" : "\n";
            }
            out += close + "]";
            break;
        case Type::Object:
            if (m_members.empty()) {
                out += "{}";
                break;
            }
            out += "{\n";
            for (std::size_t i = 0; i < m_members.size(); ++i) {
                out += pad + JsonQuote(m_members[i].first) + ": ";
                m_members[i].second.DumpTo(out, indent + 2);
                out += i + 1 < m_members.size() ? ",\n" : "\n";
            }
            out += close + "}";
            break;
    }
}

bool Json::Parse(const std::string& text, Json& value, std::string& why) {
    Reader reader(text);
    Json read;
    if (!reader.Read(read, why)) return false;
    value = std::move(read);
    return true;
}

}  // namespace kp70
