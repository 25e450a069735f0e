#pragma once
// Property lists: a value type for dict/array/string/integer/real/bool/data/date,
// read from XML or binary data and written as XML, through libplist.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kit {

class Value {
public:
    enum class Type { Null, Dict, Array, String, Integer, Real, Bool, Data, Date };
    using Dict = std::map<std::string, Value>;
    using Array = std::vector<Value>;

    Value();                                  // Null
    Value(const char* s);                     // String
    Value(std::string s);                     // String
    Value(int v);                             // Integer
    Value(int64_t v);                         // Integer
    Value(uint64_t v);                        // Integer (stored as uint64 when above INT64_MAX)
    Value(unsigned v) : Value(static_cast<uint64_t>(v)) {}
    Value(long long v) : Value(static_cast<int64_t>(v)) {}
    Value(unsigned long long v) : Value(static_cast<uint64_t>(v)) {}
    Value(double v);                          // Real
    Value(bool v);                            // Bool
    Value(Dict d);
    Value(Array a);
    static Value data(std::string bytes);
    static Value date(double secondsSince2001);
    static Value dict() { return Value(Dict{}); }
    static Value array() { return Value(Array{}); }

    Type type() const;
    bool isNull() const { return type() == Type::Null; }
    bool isDict() const { return type() == Type::Dict; }
    bool isArray() const { return type() == Type::Array; }
    bool isString() const { return type() == Type::String; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isBool() const { return type() == Type::Bool; }
    bool isNumber() const { return isInteger() || isReal(); }

    // Typed reads of this value; nullopt when the type differs.
    std::optional<std::string> asString() const;      // String (Data gives its bytes too)
    std::optional<int64_t> asInt() const;             // Integer; Real truncated; Bool 0/1
    std::optional<uint64_t> asUInt() const;
    std::optional<double> asReal() const;             // Real or Integer
    std::optional<bool> asBool() const;               // Bool; Integer != 0
    std::optional<double> asDate() const;             // Date: seconds since 2001-01-01 UTC
    const Dict* asDict() const;
    const Array* asArray() const;
    Dict* asDict();
    Array* asArray();

    // Dictionary reads by key with type checks; nullopt/nullptr when this is not a
    // dict, the key is missing or the value has another type.
    const Value* get(const std::string& key) const;
    std::optional<std::string> getString(const std::string& key) const;
    std::optional<int64_t> getInt(const std::string& key) const;
    std::optional<uint64_t> getUInt(const std::string& key) const;
    std::optional<double> getReal(const std::string& key) const;
    std::optional<bool> getBool(const std::string& key) const;
    const Dict* getDict(const std::string& key) const;
    const Array* getArray(const std::string& key) const;

    // Writes: turn a Null into a Dict/Array as needed.
    Value& operator[](const std::string& key);   // dict member (created when missing)
    void set(const std::string& key, Value v);
    void erase(const std::string& key);
    void push(Value v);                          // array append
    size_t size() const;                         // entries of a dict or array, else 0

    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;           // copy-on-write
    Impl& mut();
};

// Parses XML or binary property-list data; nullopt when it is not a property list.
std::optional<Value> parsePlist(const std::string& data);
std::optional<Value> readPlistFile(const std::string& path);
std::string toXmlPlist(const Value& value);
// Writes the XML form; atomically means through a temporary file renamed into place.
bool writePlistFile(const std::string& path, const Value& value, bool atomically = true);

}  // namespace kit
