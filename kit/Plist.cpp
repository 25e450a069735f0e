#include "kit/Plist.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace kit {

// One node of the tree. An Integer keeps its unsignedness so that values
// above INT64_MAX survive a round trip.
struct Value::Impl {
    Type type = Type::Null;
    std::string str;          // String, Data
    int64_t i = 0;            // Integer (bit pattern when isUnsigned)
    bool isUnsigned = false;  // Integer above INT64_MAX
    double d = 0;             // Real, Date
    bool b = false;           // Bool
    Dict dict;
    Array array;
};

Value::Value() = default;

Value::Value(const char* s) : Value(std::string(s ? s : "")) {}

Value::Value(std::string s) {
    Impl impl;
    impl.type = Type::String;
    impl.str = std::move(s);
    impl_ = std::make_shared<const Impl>(std::move(impl));
}

Value::Value(int v) : Value(static_cast<int64_t>(v)) {}

Value::Value(int64_t v) {
    Impl impl;
    impl.type = Type::Integer;
    impl.i = v;
    impl_ = std::make_shared<const Impl>(std::move(impl));
}

Value::Value(uint64_t v) {
    Impl impl;
    impl.type = Type::Integer;
    impl.i = static_cast<int64_t>(v);
    impl.isUnsigned = v > static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    impl_ = std::make_shared<const Impl>(std::move(impl));
}

Value::Value(double v) {
    Impl impl;
    impl.type = Type::Real;
    impl.d = v;
    impl_ = std::make_shared<const Impl>(std::move(impl));
}

Value::Value(bool v) {
    Impl impl;
    impl.type = Type::Bool;
    impl.b = v;
    impl_ = std::make_shared<const Impl>(std::move(impl));
}

Value::Value(Dict d) {
    Impl impl;
    impl.type = Type::Dict;
    impl.dict = std::move(d);
    impl_ = std::make_shared<const Impl>(std::move(impl));
}

Value::Value(Array a) {
    Impl impl;
    impl.type = Type::Array;
    impl.array = std::move(a);
    impl_ = std::make_shared<const Impl>(std::move(impl));
}

Value Value::data(std::string bytes) {
    Value v;
    Impl impl;
    impl.type = Type::Data;
    impl.str = std::move(bytes);
    v.impl_ = std::make_shared<const Impl>(std::move(impl));
    return v;
}

Value Value::date(double secondsSince2001) {
    Value v;
    Impl impl;
    impl.type = Type::Date;
    impl.d = secondsSince2001;
    v.impl_ = std::make_shared<const Impl>(std::move(impl));
    return v;
}

Value::Type Value::type() const { return impl_ ? impl_->type : Type::Null; }

// Copy on write: a shared node is cloned before the first change.
Value::Impl& Value::mut() {
    if (!impl_) {
        impl_ = std::make_shared<const Impl>();
    } else if (impl_.use_count() > 1) {
        impl_ = std::make_shared<const Impl>(*impl_);
    }
    return const_cast<Impl&>(*impl_);
}

std::optional<std::string> Value::asString() const {
    if (type() == Type::String || type() == Type::Data) return impl_->str;
    return std::nullopt;
}

std::optional<int64_t> Value::asInt() const {
    switch (type()) {
    case Type::Integer:
        if (impl_->isUnsigned) return std::nullopt;  // does not fit
        return impl_->i;
    case Type::Real: {
        const double d = impl_->d;
        // Outside int64's range (or NaN) the conversion would be undefined.
        if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0)) return std::nullopt;
        return static_cast<int64_t>(d);
    }
    case Type::Bool:
        return impl_->b ? 1 : 0;
    default:
        return std::nullopt;
    }
}

std::optional<uint64_t> Value::asUInt() const {
    switch (type()) {
    case Type::Integer:
        if (impl_->isUnsigned) return static_cast<uint64_t>(impl_->i);
        if (impl_->i < 0) return std::nullopt;
        return static_cast<uint64_t>(impl_->i);
    case Type::Real: {
        const double d = impl_->d;
        if (!(d > -1.0 && d < 18446744073709551616.0)) return std::nullopt;
        return static_cast<uint64_t>(d);
    }
    case Type::Bool:
        return impl_->b ? 1u : 0u;
    default:
        return std::nullopt;
    }
}

std::optional<double> Value::asReal() const {
    if (type() == Type::Real) return impl_->d;
    if (type() == Type::Integer) {
        return impl_->isUnsigned ? static_cast<double>(static_cast<uint64_t>(impl_->i))
                                 : static_cast<double>(impl_->i);
    }
    return std::nullopt;
}

std::optional<bool> Value::asBool() const {
    if (type() == Type::Bool) return impl_->b;
    if (type() == Type::Integer) return impl_->i != 0;
    return std::nullopt;
}

std::optional<double> Value::asDate() const {
    if (type() == Type::Date) return impl_->d;
    return std::nullopt;
}

const Value::Dict* Value::asDict() const { return type() == Type::Dict ? &impl_->dict : nullptr; }
const Value::Array* Value::asArray() const { return type() == Type::Array ? &impl_->array : nullptr; }
Value::Dict* Value::asDict() { return type() == Type::Dict ? &mut().dict : nullptr; }
Value::Array* Value::asArray() { return type() == Type::Array ? &mut().array : nullptr; }

const Value* Value::get(const std::string& key) const {
    const Dict* d = asDict();
    if (!d) return nullptr;
    auto it = d->find(key);
    return it == d->end() ? nullptr : &it->second;
}

std::optional<std::string> Value::getString(const std::string& key) const {
    const Value* v = get(key);
    if (!v || !v->isString()) return std::nullopt;
    return v->asString();
}

std::optional<int64_t> Value::getInt(const std::string& key) const {
    const Value* v = get(key);
    if (!v || !v->isNumber()) return std::nullopt;
    return v->asInt();
}

std::optional<uint64_t> Value::getUInt(const std::string& key) const {
    const Value* v = get(key);
    if (!v || !v->isNumber()) return std::nullopt;
    return v->asUInt();
}

std::optional<double> Value::getReal(const std::string& key) const {
    const Value* v = get(key);
    return v ? v->asReal() : std::nullopt;
}

std::optional<bool> Value::getBool(const std::string& key) const {
    const Value* v = get(key);
    return v ? v->asBool() : std::nullopt;
}

const Value::Dict* Value::getDict(const std::string& key) const {
    const Value* v = get(key);
    return v ? v->asDict() : nullptr;
}

const Value::Array* Value::getArray(const std::string& key) const {
    const Value* v = get(key);
    return v ? v->asArray() : nullptr;
}

// A write through a value of another kind replaces it with an empty container:
// the caller asked for a dictionary (or array) there.
Value& Value::operator[](const std::string& key) {
    if (type() != Type::Dict) *this = Value::dict();
    return mut().dict[key];
}

void Value::set(const std::string& key, Value v) { (*this)[key] = std::move(v); }

void Value::erase(const std::string& key) {
    if (type() != Type::Dict) return;
    if (impl_->dict.find(key) == impl_->dict.end()) return;  // don't clone for nothing
    mut().dict.erase(key);
}

void Value::push(Value v) {
    if (type() != Type::Array) *this = Value::array();
    mut().array.push_back(std::move(v));
}

size_t Value::size() const {
    if (type() == Type::Dict) return impl_->dict.size();
    if (type() == Type::Array) return impl_->array.size();
    return 0;
}

bool Value::operator==(const Value& other) const {
    if (impl_ == other.impl_) return true;
    if (type() != other.type()) return false;
    const Impl& a = *impl_;
    const Impl& b = *other.impl_;
    switch (a.type) {
    case Type::Null: return true;
    case Type::String:
    case Type::Data: return a.str == b.str;
    case Type::Integer: return a.i == b.i && a.isUnsigned == b.isUnsigned;
    case Type::Real:
    case Type::Date: return a.d == b.d;
    case Type::Bool: return a.b == b.b;
    case Type::Dict: return a.dict == b.dict;
    case Type::Array: return a.array == b.array;
    }
    return false;
}

// ---------------------------------------------------------------------------
// libplist conversion

namespace {

struct PlistFree {
    void operator()(plist_t p) const { if (p) plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// The library's integer node carries no public sign flag: a value with the top
// bit set is either negative or above INT64_MAX. Its own XML form tells which.
bool integerNodeIsNegative(plist_t node) {
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(node, &xml, &len);
    if (!xml) return true;
    const bool negative = std::string(xml, len).find("<integer>-") != std::string::npos;
    plist_to_xml_free(xml);
    return negative;
}

Value fromNode(plist_t node, int depth) {
    if (!node || depth > 512) return Value();
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) && integerNodeIsNegative(node))
            return Value(static_cast<int64_t>(u));
        return Value(u);
    }
    case PLIST_UID: {
        uint64_t u = 0;
        plist_get_uid_val(node, &u);
        return Value(u);
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        char* s = nullptr;
        if (plist_get_node_type(node) == PLIST_KEY) plist_get_key_val(node, &s);
        else plist_get_string_val(node, &s);
        Value v(std::string(s ? s : ""));
        std::free(s);
        return v;
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t len = 0;
        plist_get_data_val(node, &bytes, &len);
        Value v = Value::data(std::string(bytes ? bytes : "", bytes ? len : 0));
        std::free(bytes);
        return v;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return Value::date(static_cast<double>(sec) + static_cast<double>(usec) / 1e6);
    }
    case PLIST_ARRAY: {
        Value::Array arr;
        const uint32_t n = plist_array_get_size(node);
        arr.reserve(n);
        for (uint32_t i = 0; i < n; ++i) arr.push_back(fromNode(plist_array_get_item(node, i), depth + 1));
        return Value(std::move(arr));
    }
    case PLIST_DICT: {
        Value::Dict dict;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it) return Value(std::move(dict));
        for (;;) {
            char* key = nullptr;
            plist_t val = nullptr;
            plist_dict_next_item(node, it, &key, &val);
            if (!val) { std::free(key); break; }
            if (key) dict[key] = fromNode(val, depth + 1);
            std::free(key);
        }
        std::free(it);
        return Value(std::move(dict));
    }
    default:
        return Value();
    }
}

// The library writes every integer it creates as signed; a value above
// INT64_MAX is made from its own decimal XML form so it stays unsigned.
plist_t bigUnsignedNode(uint64_t u) {
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><integer>" +
                            std::to_string(u) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &node);
    return node ? node : plist_new_uint(u);
}

// Null has no property-list form: it yields nullptr and containers skip it.
plist_t toNode(const Value& v) {
    switch (v.type()) {
    case Value::Type::Null: return nullptr;
    case Value::Type::String: return plist_new_string(v.asString()->c_str());
    case Value::Type::Data: {
        const std::string bytes = *v.asString();
        return plist_new_data(bytes.data(), bytes.size());
    }
    case Value::Type::Integer: {
        if (auto i = v.asInt()) return plist_new_uint(static_cast<uint64_t>(*i));
        return bigUnsignedNode(*v.asUInt());
    }
    case Value::Type::Real: return plist_new_real(*v.asReal());
    case Value::Type::Bool: return plist_new_bool(*v.asBool() ? 1 : 0);
    case Value::Type::Date: {
        // The library keeps a date as whole seconds and microseconds since 2001.
        const double secs = *v.asDate();
        double whole = std::floor(secs);
        int64_t usec = static_cast<int64_t>(std::llround((secs - whole) * 1e6));
        if (usec >= 1000000) { whole += 1; usec -= 1000000; }
        if (whole < std::numeric_limits<int32_t>::min()) whole = std::numeric_limits<int32_t>::min();
        if (whole > std::numeric_limits<int32_t>::max()) whole = std::numeric_limits<int32_t>::max();
        return plist_new_date(static_cast<int32_t>(whole), static_cast<int32_t>(usec));
    }
    case Value::Type::Array: {
        plist_t arr = plist_new_array();
        for (const Value& item : *v.asArray())
            if (plist_t n = toNode(item)) plist_array_append_item(arr, n);
        return arr;
    }
    case Value::Type::Dict: {
        plist_t dict = plist_new_dict();
        for (const auto& [key, item] : *v.asDict())
            if (plist_t n = toNode(item)) plist_dict_set_item(dict, key.c_str(), n);
        return dict;
    }
    }
    return nullptr;
}

}  // namespace

std::optional<Value> parsePlist(const std::string& data) {
    if (data.empty() || data.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
    PlistPtr guard(root);
    if (!root) return std::nullopt;
    return fromNode(root, 0);
}

std::optional<Value> readPlistFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return parsePlist(ss.str());
}

std::string toXmlPlist(const Value& value) {
    PlistPtr root(toNode(value));
    if (!root) return {};
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(root.get(), &xml, &len);
    if (!xml) return {};
    std::string out(xml, len);
    plist_to_xml_free(xml);
    return out;
}

namespace {

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The process's file-creation mask, read without changing it (umask() would,
// for a moment, for every thread).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

}  // namespace

bool writePlistFile(const std::string& path, const Value& value, bool atomically) {
    const std::string xml = toXmlPlist(value);
    if (xml.empty() || path.empty()) return false;
    if (!atomically) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        const bool ok = writeAll(fd, xml);
        return (::close(fd) == 0) && ok;
    }
    // Written beside the target and renamed over it, so a reader sees the old
    // file or the new one, never a part.
    std::string tmpl = path + ".XXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const mode_t mode = (::stat(path.c_str(), &st) == 0) ? (st.st_mode & 07777) : (0666 & ~currentUmask());
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, xml) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmpl.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

}  // namespace kit
