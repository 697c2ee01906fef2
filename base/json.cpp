#include "base/json.h"

#include <cstdio>
#include <iterator>

#include "base/numbers.h"

namespace cf::BkJson {
namespace {

bool IsWhitespace(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

bool StartsWith(const Reader& reader, std::u16string_view word) {
    return reader.text.substr(reader.pos, word.size()) == word;
}

void AppendAscii(std::u16string& out, const char* text) {
    for (; *text; ++text) {
        out.push_back(static_cast<unsigned char>(*text));
    }
}

void WriteQuoted(std::u16string& out, std::u16string_view text) {
    out.push_back(u'"');
    for (char16_t c : text) {
        switch (c) {
            case u'\b': out += u"\\b"; break;
            case u'\t': out += u"\\t"; break;
            case u'\n': out += u"\\n"; break;
            case u'\f': out += u"\\f"; break;
            case u'\r': out += u"\\r"; break;
            case u'"': out += u"\\\""; break;
            case u'/': out += u"\\/"; break;
            case u'\\': out += u"\\\\"; break;
            default:
                if ((c >= 1 && c <= 31) || (c >= 127 && c <= 255)) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                    AppendAscii(out, escape);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back(u'"');
}

// Chooses the value reader by the next character, as arrays and objects do.
std::unique_ptr<Value> StartValue(Reader& reader) {
    reader.SkipWhitespace();
    switch (reader.Peek()) {
        case u'"': return std::make_unique<ValueString>();
        case u'[': return std::make_unique<ValueArray>();
        case u'{': return std::make_unique<ValueObject>();
        case u't':
        case u'f': return std::make_unique<ValueBool>();
        case u'n': return std::make_unique<ValueNull>();
        default:
            if (reader.Peek() == u'-' || (reader.Peek() >= u'0' && reader.Peek() <= u'9')) {
                return std::make_unique<ValueLong>();
            }
            return nullptr;
    }
}

// Reads one value inside a container; error 9 unless the inner reader
// already recorded a more precise error.
std::unique_ptr<Value> ReadNestedValue(Reader& reader) {
    std::unique_ptr<Value> value = StartValue(reader);
    if (value && value->Read(reader)) {
        return value;
    }
    if (!reader.Failed()) {
        reader.Fail(ErrorCode::ValueExpected);
    }
    return nullptr;
}

// Guards the nesting depth of arrays and objects.
class DepthGuard {
public:
    explicit DepthGuard(Reader& reader) : m_reader(reader) { ++m_reader.depth; }
    ~DepthGuard() { --m_reader.depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    bool TooDeep() const { return m_reader.depth > kMaxDepth; }

private:
    Reader& m_reader;
};

void AppendSpaces(std::u16string& out, int count) {
    if (count > 0) {
        out.append(static_cast<size_t>(count), u' ');
    }
}

}  // namespace

void Reader::SkipWhitespace() {
    while (!AtEnd() && IsWhitespace(text[pos])) {
        ++pos;
    }
}

void Reader::Fail(ErrorCode code) {
    error.code = code;
    const size_t at = pos < text.size() ? pos : text.size();
    int32_t line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < at; ++i) {
        if (text[i] == u'\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    error.line = line;
    error.column = static_cast<int32_t>(at - lineStart) + 1;
}

// ---- Handle ----

Handle& Handle::Empty() {
    static Handle empty;
    return empty;
}

Handle& Handle::Member(std::u16string_view name) {
    Value* target = m_value;
    if (target == nullptr) {
        return Empty();
    }
    if (target->GetType() != Type::Object) {
        Value* container = target->m_container;
        if (container == nullptr) {
            return Empty();
        }
        // `target` may be this very handle: nothing of it is touched after.
        target = container->ReplaceChild(target, std::make_unique<ValueObject>());
    }
    auto* object = static_cast<ValueObject*>(target);
    if (Value* existing = object->Find(name)) {
        return *existing;
    }
    return *object->Set(std::u16string(name), std::make_unique<ValueNull>());
}

std::optional<std::u16string> Handle::AsString() const {
    if (m_value != nullptr && m_value->GetType() == Type::String) {
        return static_cast<const ValueString*>(m_value)->m_text;
    }
    return std::nullopt;
}

void Handle::SetLong(int32_t number) {
    Value* target = m_value;
    if (target == nullptr) {
        return;
    }
    if (target->GetType() != Type::Long) {
        Value* container = target->m_container;
        if (container == nullptr) {
            return;
        }
        target = container->ReplaceChild(target, std::make_unique<ValueLong>());
    }
    static_cast<ValueLong*>(target)->m_number = number;
}

// ---- Value ----

std::unique_ptr<Value> Value::Create(Type type) {
    switch (type) {
        case Type::Null: return std::make_unique<ValueNull>();
        case Type::Object: return std::make_unique<ValueObject>();
        case Type::Bool: return std::make_unique<ValueBool>();
        case Type::String: return std::make_unique<ValueString>();
        case Type::Long: return std::make_unique<ValueLong>();
        case Type::Array: return std::make_unique<ValueArray>();
    }
    return nullptr;
}

Value* Value::ReplaceChild(Value*, std::unique_ptr<Value>) { return nullptr; }

int ValueNull::Read(Reader& reader) {
    if (!StartsWith(reader, u"null")) {
        return 0;
    }
    reader.pos += 4;
    return 1;
}

void ValueNull::Write(std::u16string& out, bool, int, int) const { out += u"null"; }

int ValueBool::Read(Reader& reader) {
    if (StartsWith(reader, u"true")) {
        reader.pos += 4;
        m_value = 1;
        return 1;
    }
    if (StartsWith(reader, u"false")) {
        reader.pos += 5;
        m_value = 0;
        return 1;
    }
    return 0;
}

void ValueBool::Write(std::u16string& out, bool, int, int) const {
    out += m_value == 1 ? u"true" : u"false";
}

int ValueLong::Read(Reader& reader) {
    bool negative = false;
    if (reader.Peek() == u'-') {
        ++reader.pos;
        if (reader.AtEnd()) {
            reader.Fail(ErrorCode::MinusAtEnd);
            return 0;
        }
        negative = true;
    }
    // Accumulated modulo 2^32, as the 32-bit original does.
    uint32_t value = 0;
    size_t digits = 0;
    while (!reader.AtEnd() && reader.Peek() >= u'0' && reader.Peek() <= u'9') {
        value = value * 10u + static_cast<uint32_t>(reader.Peek() - u'0');
        ++reader.pos;
        ++digits;
    }
    if (digits == 0) {
        return 0;
    }
    m_number = static_cast<int32_t>(negative ? 0u - value : value);
    return 1;
}

void ValueLong::Write(std::u16string& out, bool, int, int) const {
    char text[16];
    std::snprintf(text, sizeof text, "%d", m_number);
    AppendAscii(out, text);
}

int ValueString::Read(Reader& reader) {
    reader.SkipWhitespace();
    if (reader.Peek() != u'"' || reader.AtEnd()) {
        reader.Fail(ErrorCode::QuoteExpected);
        return 0;
    }
    ++reader.pos;
    m_text.clear();
    for (;;) {
        if (reader.AtEnd()) {
            reader.Fail(ErrorCode::StringNotTerminated);
            return 0;
        }
        const char16_t c = reader.text[reader.pos];
        if (c == u'"') {
            ++reader.pos;
            return 1;
        }
        if (c != u'\\') {
            m_text.push_back(c);
            ++reader.pos;
            continue;
        }
        ++reader.pos;
        if (reader.AtEnd()) {
            reader.Fail(ErrorCode::StringNotTerminated);
            return 0;
        }
        const char16_t escape = reader.text[reader.pos];
        switch (escape) {
            case u'"': m_text.push_back(u'"'); break;
            case u'/': m_text.push_back(u'/'); break;
            case u'\\': m_text.push_back(u'\\'); break;
            case u'b': m_text.push_back(u'\b'); break;
            case u'f': m_text.push_back(u'\f'); break;
            case u'n': m_text.push_back(u'\n'); break;
            case u'r': m_text.push_back(u'\r'); break;
            case u't': m_text.push_back(u'\t'); break;
            case u'u': {
                uint32_t unit = 0;
                for (int k = 1; k <= 4; ++k) {
                    if (reader.pos + k >= reader.text.size()) {
                        reader.pos = reader.text.size();
                        reader.Fail(ErrorCode::StringNotTerminated);
                        return 0;
                    }
                    const int digit = zeph::HexDigitValue(reader.text[reader.pos + k]);
                    if (digit < 0) {
                        reader.pos += k;
                        reader.Fail(ErrorCode::BadEscape);
                        return 0;
                    }
                    unit = (unit << 4) | static_cast<uint32_t>(digit);
                }
                if (unit == 0) {
                    reader.Fail(ErrorCode::BadEscape);
                    return 0;
                }
                m_text.push_back(static_cast<char16_t>(unit));
                reader.pos += 4;
                break;
            }
            default:
                reader.Fail(ErrorCode::BadEscape);
                return 0;
        }
        ++reader.pos;
    }
}

void ValueString::Write(std::u16string& out, bool, int, int) const { WriteQuoted(out, m_text); }

// ---- Array ----

Value* ValueArray::Append(std::unique_ptr<Value> value) {
    value->AttachTo(this, m_items.size(), nullptr);
    m_items.push_back(std::move(value));
    return m_items.back().get();
}

Value* ValueArray::ReplaceChild(Value* child, std::unique_ptr<Value> replacement) {
    const size_t index = child->m_index;
    replacement->AttachTo(this, index, nullptr);
    m_items[index] = std::move(replacement);
    return m_items[index].get();
}

int ValueArray::Read(Reader& reader) {
    DepthGuard guard(reader);
    reader.SkipWhitespace();
    if (reader.Peek() != u'[' || reader.AtEnd()) {
        reader.Fail(ErrorCode::BracketExpected);
        return 0;
    }
    if (guard.TooDeep()) {
        reader.Fail(ErrorCode::TooDeep);
        return 0;
    }
    ++reader.pos;
    reader.SkipWhitespace();
    if (reader.Peek() == u']' && !reader.AtEnd()) {
        ++reader.pos;
        return 1;
    }
    for (;;) {
        std::unique_ptr<Value> item = ReadNestedValue(reader);
        if (!item) {
            return 0;
        }
        Append(std::move(item));
        reader.SkipWhitespace();
        if (reader.AtEnd()) {
            reader.Fail(ErrorCode::CommaOrCloseExpected);
            return 0;
        }
        const char16_t c = reader.text[reader.pos++];
        if (c == u']') {
            return 1;
        }
        if (c != u',') {
            --reader.pos;
            reader.Fail(ErrorCode::CommaOrCloseExpected);
            return 0;
        }
    }
}

void ValueArray::Write(std::u16string& out, bool pretty, int indent, int step) const {
    bool multiLine = false;
    if (pretty) {
        multiLine = m_items.size() > 1;
        for (const auto& item : m_items) {
            multiLine = multiLine || item->GetType() == Type::Array ||
                        item->GetType() == Type::Object;
        }
    }
    const char16_t* separator = pretty ? u", " : u",";
    out.push_back(u'[');
    if (multiLine) {
        out += u"\r\n";
    }
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (i > 0) {
            out += separator;
            if (multiLine) {
                out += u"\r\n";
            }
        }
        if (multiLine) {
            AppendSpaces(out, indent + step);
        }
        m_items[i]->Write(out, pretty, indent + step, step);
    }
    if (multiLine) {
        out += u"\r\n";
        AppendSpaces(out, indent);
    }
    out.push_back(u']');
}

// ---- Object ----

Value* ValueObject::Find(std::u16string_view key) const {
    auto it = m_members.find(key);
    return it == m_members.end() ? nullptr : it->second.get();
}

Value* ValueObject::Set(std::u16string key, std::unique_ptr<Value> value) {
    auto it = m_members.find(key);
    if (it == m_members.end()) {
        it = m_members.emplace(std::move(key), nullptr).first;
    }
    value->AttachTo(this, 0, &it->first);
    it->second = std::move(value);
    return it->second.get();
}

Value* ValueObject::ReplaceChild(Value* child, std::unique_ptr<Value> replacement) {
    return Set(*child->m_key, std::move(replacement));
}

int ValueObject::Read(Reader& reader) {
    DepthGuard guard(reader);
    reader.SkipWhitespace();
    if (reader.Peek() != u'{' || reader.AtEnd()) {
        reader.Fail(ErrorCode::BraceExpected);
        return 0;
    }
    if (guard.TooDeep()) {
        reader.Fail(ErrorCode::TooDeep);
        return 0;
    }
    ++reader.pos;
    reader.SkipWhitespace();
    if (reader.Peek() == u'}' && !reader.AtEnd()) {
        ++reader.pos;
        return 1;
    }
    for (;;) {
        ValueString key;
        if (!key.Read(reader)) {
            return 0;
        }
        reader.SkipWhitespace();
        if (reader.Peek() != u':' || reader.AtEnd()) {
            reader.Fail(ErrorCode::ColonExpected);
            return 0;
        }
        ++reader.pos;
        std::unique_ptr<Value> value = ReadNestedValue(reader);
        if (!value) {
            return 0;
        }
        Set(std::move(key.m_text), std::move(value));
        reader.SkipWhitespace();
        if (reader.AtEnd()) {
            reader.Fail(ErrorCode::CommaOrCloseExpected);
            return 0;
        }
        const char16_t c = reader.text[reader.pos++];
        if (c == u'}') {
            return 1;
        }
        if (c != u',') {
            --reader.pos;
            reader.Fail(ErrorCode::CommaOrCloseExpected);
            return 0;
        }
    }
}

void ValueObject::Write(std::u16string& out, bool pretty, int indent, int step) const {
    out.push_back(u'{');
    if (pretty) {
        out += u"\r\n";
    }
    bool first = true;
    for (auto it = m_members.begin(); it != m_members.end(); ++it) {
        if (pretty) {
            AppendSpaces(out, indent + step);
            WriteQuoted(out, it->first);
            out += u" : ";
            it->second->Write(out, pretty, indent + step, step);
            if (std::next(it) != m_members.end()) {
                out.push_back(u',');
            }
            out += u"\r\n";
        } else {
            if (!first) {
                out.push_back(u',');
            }
            WriteQuoted(out, it->first);
            out.push_back(u':');
            it->second->Write(out, pretty, indent + step, step);
        }
        first = false;
    }
    if (pretty) {
        AppendSpaces(out, indent);
    }
    out.push_back(u'}');
}

// ---- Document ----

Document::~Document() = default;

int Document::Parse(std::u16string_view text) {
    m_root.reset();
    m_value = nullptr;
    m_error = Error{};
    // Root kinds in the order the original tries them; null is not a root.
    static constexpr Type kRootOrder[] = {Type::Bool, Type::Long, Type::String, Type::Array,
                                          Type::Object};
    const std::u16string copy(text);
    for (Type type : kRootOrder) {
        std::unique_ptr<Value> attempt = Value::Create(type);
        Reader reader;
        reader.text = copy;
        if (attempt->Read(reader)) {
            m_root = std::move(attempt);
            m_value = m_root.get();
            m_error = Error{};
            return 1;
        }
        m_error = reader.error;
    }
    return 0;
}

std::u16string Document::ToString() const {
    std::u16string out;
    if (m_root) {
        m_root->Write(out, false, 0, 4);
    }
    return out;
}

std::u16string Document::ToPrettyString(int step) const {
    std::u16string out;
    if (m_root) {
        m_root->Write(out, true, 0, step);
    }
    return out;
}

int Document::HasMember(std::u16string_view name) const {
    if (!m_root || m_root->GetType() != Type::Object) {
        return 0;
    }
    return static_cast<const ValueObject*>(m_root.get())->Find(name) != nullptr ? 1 : 0;
}

Handle& Document::Member(std::u16string_view name) {
    if (!m_root) {
        m_root = std::make_unique<ValueObject>();
        m_value = m_root.get();
    }
    return m_root->Member(name);
}

}  // namespace cf::BkJson
