// The installer's own small JSON document model over UTF-16 text: null,
// booleans, 32-bit integers, strings, arrays and objects (no fractions).
// Values are handles to themselves, so a member lookup hands back the value;
// containers own their values and the document owns the root.
//
// Used by one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cf::BkJson {

enum class Type : int32_t {
    Null = 1,
    Object = 2,
    Bool = 3,
    String = 4,
    Long = 5,
    Array = 7,
};

enum class ErrorCode : int32_t {
    None = 0,
    BraceExpected = 1,
    QuoteExpected = 3,
    StringNotTerminated = 4,
    MinusAtEnd = 5,
    ColonExpected = 6,
    CommaOrCloseExpected = 7,
    BadEscape = 8,
    ValueExpected = 9,
    BracketExpected = 10,
    // Arrays and objects nested deeper than kMaxDepth: refused instead of
    // recursing without bound on outside input.
    TooDeep = 11,
};

inline constexpr int kMaxDepth = 512;

struct Error {
    ErrorCode code = ErrorCode::None;
    int32_t line = -1;    // 1-based
    int32_t column = -1;  // 1-based
};

// Parser state shared by the value readers.
struct Reader {
    Error error;
    std::u16string_view text;
    size_t pos = 0;
    int depth = 0;

    size_t Left() const { return text.size() - pos; }
    bool AtEnd() const { return pos >= text.size(); }
    char16_t Peek() const { return AtEnd() ? u'\0' : text[pos]; }
    void SkipWhitespace();
    void Fail(ErrorCode code);
    bool Failed() const { return error.code != ErrorCode::None; }
};

class Value;

// A reference to a value inside its container. Owns nothing.
class Handle {
public:
    Handle() = default;
    Handle(Value* container, Value* value) : m_container(container), m_value(value) {}
    virtual ~Handle() = default;

    // The member `name` of the referenced object, created as null when
    // missing. A referenced value that is not an object is first replaced in
    // its container by an empty object (and deleted; when this handle is that
    // value, it must not be used afterwards). Without a value or container the
    // process-wide empty handle comes back.
    Handle& Member(std::u16string_view name);

    // The string payload of a string value, else nullopt.
    std::optional<std::u16string> AsString() const;

    // Turns the referenced value into an integer holding `number` (a value of
    // another type is replaced and deleted). No-op without value or container.
    void SetLong(int32_t number);

    Value* GetValue() const { return m_value; }
    Value* GetContainer() const { return m_container; }
    bool IsEmpty() const { return m_value == nullptr; }

    static Handle& Empty();

protected:
    Value* m_container = nullptr;  // not owned
    Value* m_value = nullptr;      // not owned (for a value: itself)
};

class Value : public Handle {
public:
    explicit Value(Type type) : Handle(nullptr, this), m_type(type) {}
    ~Value() override = default;

    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;

    // 1 success, 0 failure (the reason is in reader.error).
    virtual int Read(Reader& reader) = 0;
    virtual void Write(std::u16string& out, bool pretty, int indent, int step) const = 0;

    Type GetType() const { return m_type; }

    static std::unique_ptr<Value> Create(Type type);

protected:
    friend class ValueObject;
    friend class ValueArray;
    friend class Document;
    friend class Handle;

    // Puts `replacement` in the slot of `child` and deletes `child`; returns
    // the replacement.
    virtual Value* ReplaceChild(Value* child, std::unique_ptr<Value> replacement);

    void AttachTo(Value* container, size_t index, const std::u16string* key) {
        m_container = container;
        m_index = index;
        m_key = key;
    }

    Type m_type;
    size_t m_index = 0;                  // position in a parent array
    const std::u16string* m_key = nullptr;  // key of the map entry in a parent object
};

class ValueNull final : public Value {
public:
    ValueNull() : Value(Type::Null) {}
    int Read(Reader& reader) override;
    void Write(std::u16string& out, bool pretty, int indent, int step) const override;
};

class ValueBool final : public Value {
public:
    ValueBool() : Value(Type::Bool) {}
    int Read(Reader& reader) override;
    void Write(std::u16string& out, bool pretty, int indent, int step) const override;
    int32_t m_value = 0;  // 1 true, 0 false
};

class ValueLong final : public Value {
public:
    ValueLong() : Value(Type::Long) {}
    int Read(Reader& reader) override;
    void Write(std::u16string& out, bool pretty, int indent, int step) const override;
    int32_t m_number = 0;
};

class ValueString final : public Value {
public:
    ValueString() : Value(Type::String) {}
    int Read(Reader& reader) override;
    void Write(std::u16string& out, bool pretty, int indent, int step) const override;
    std::u16string m_text;
};

class ValueArray final : public Value {
public:
    ValueArray() : Value(Type::Array) {}
    int Read(Reader& reader) override;
    void Write(std::u16string& out, bool pretty, int indent, int step) const override;

    size_t Size() const { return m_items.size(); }
    Value* At(size_t index) const { return m_items[index].get(); }
    Value* Append(std::unique_ptr<Value> value);

protected:
    Value* ReplaceChild(Value* child, std::unique_ptr<Value> replacement) override;

private:
    std::vector<std::unique_ptr<Value>> m_items;
};

class ValueObject final : public Value {
public:
    ValueObject() : Value(Type::Object) {}
    int Read(Reader& reader) override;
    void Write(std::u16string& out, bool pretty, int indent, int step) const override;

    // Keys in plain code-unit order.
    const std::map<std::u16string, std::unique_ptr<Value>, std::less<>>& Members() const { return m_members; }
    Value* Find(std::u16string_view key) const;
    // Stores `value` under `key`, replacing (and deleting) an earlier value.
    Value* Set(std::u16string key, std::unique_ptr<Value> value);

protected:
    Value* ReplaceChild(Value* child, std::unique_ptr<Value> replacement) override;

private:
    std::map<std::u16string, std::unique_ptr<Value>, std::less<>> m_members;
};

class Document : public Handle {
public:
    Document() = default;
    ~Document() override;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // 1 success, 0 failure with GetError() set and no root.
    int Parse(std::u16string_view text);
    // Compact text of the root; empty without a root.
    std::u16string ToString() const;
    std::u16string ToPrettyString(int step = 4) const;

    int HasMember(std::u16string_view name) const;
    Handle& Member(std::u16string_view name);

    const Error& GetError() const { return m_error; }
    Value* Root() const { return m_root.get(); }

private:
    std::unique_ptr<Value> m_root;
    Error m_error;
};

}  // namespace cf::BkJson
