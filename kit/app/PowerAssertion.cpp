#include "kit/app/PowerAssertion.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace kit {

// A minimal session-bus client: enough of the wire protocol to call one method
// with text arguments and read a 32-bit unsigned reply.
namespace {

class Message {
public:
    std::string buf;
    void align(size_t n) { while (buf.size() % n) buf.push_back('\0'); }
    void u8(uint8_t v) { buf.push_back(static_cast<char>(v)); }
    void u32(uint32_t v) {
        align(4);
        for (int i = 0; i < 4; ++i) buf.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    }
    void str(const std::string& s) {
        u32(static_cast<uint32_t>(s.size()));
        buf += s;
        buf.push_back('\0');
    }
    void sig(const std::string& s) {
        u8(static_cast<uint8_t>(s.size()));
        buf += s;
        buf.push_back('\0');
    }
    void patch32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) buf[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
    }
};

// A method call whose body (already marshalled) has the given signature.
std::string methodCall(uint32_t serial, const std::string& destination, const std::string& path,
                       const std::string& interface, const std::string& member, const std::string& signature,
                       const std::string& body) {
    Message m;
    m.u8('l');
    m.u8(1);  // method call
    m.u8(0);
    m.u8(1);  // protocol version
    m.u32(static_cast<uint32_t>(body.size()));
    m.u32(serial);
    size_t lengthAt = m.buf.size();
    m.u32(0);
    size_t fieldsStart = m.buf.size();
    auto field = [&](uint8_t code, const char* type, const std::string& value) {
        m.align(8);
        m.u8(code);
        m.sig(type);
        if (std::strcmp(type, "g") == 0) m.sig(value);
        else m.str(value);
    };
    field(1, "o", path);
    if (!interface.empty()) field(2, "s", interface);
    field(3, "s", member);
    field(6, "s", destination);
    if (!signature.empty()) field(8, "g", signature);
    m.patch32(lengthAt, static_cast<uint32_t>(m.buf.size() - fieldsStart));
    m.align(8);
    return m.buf + body;
}

std::string textArguments(const std::vector<std::string>& args) {
    Message body;
    for (auto& a : args) body.str(a);
    return body.buf;
}

bool writeAll(int fd, const std::string& data) {
    size_t off = 0;
    while (off < data.size()) {
        ssize_t n = send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

bool readExact(int fd, char* out, size_t len) {
    size_t off = 0;
    while (off < len) {
        ssize_t n = recv(fd, out + off, len - off, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> readLine(int fd) {
    std::string line;
    char c;
    while (line.size() < 4096) {
        if (!readExact(fd, &c, 1)) return std::nullopt;
        line.push_back(c);
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return line.substr(0, line.size() - 2);
    }
    return std::nullopt;
}

struct Reply {
    uint8_t type = 0;
    uint32_t replySerial = 0;
    std::string body;
    bool bigEndian = false;
};

uint32_t get32(const std::string& s, size_t at, bool big) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t b = static_cast<uint8_t>(s[at + i]);
        v |= big ? b << (8 * (3 - i)) : b << (8 * i);
    }
    return v;
}

std::optional<Reply> readMessage(int fd) {
    std::string head(16, '\0');
    if (!readExact(fd, head.data(), 16)) return std::nullopt;
    Reply r;
    r.bigEndian = head[0] == 'B';
    if (!r.bigEndian && head[0] != 'l') return std::nullopt;
    r.type = static_cast<uint8_t>(head[1]);
    uint32_t bodyLen = get32(head, 4, r.bigEndian);
    uint32_t fieldsLen = get32(head, 12, r.bigEndian);
    if (bodyLen > (1u << 20) || fieldsLen > (1u << 20)) return std::nullopt;
    size_t padded = (fieldsLen + 7) & ~size_t(7);
    std::string fields(padded, '\0');
    if (padded && !readExact(fd, fields.data(), padded)) return std::nullopt;
    r.body.assign(bodyLen, '\0');
    if (bodyLen && !readExact(fd, r.body.data(), bodyLen)) return std::nullopt;
    // Header fields are (code, variant) structs aligned to 8, counted from the
    // start of the message (16 bytes before the fields).
    size_t p = 0;
    auto alignTo = [&](size_t n) { p = ((p + 16 + n - 1) / n) * n - 16; };
    while (p < fieldsLen) {
        alignTo(8);
        if (p + 3 > fieldsLen) break;
        uint8_t code = static_cast<uint8_t>(fields[p]);
        uint8_t sigLen = static_cast<uint8_t>(fields[p + 1]);
        if (p + 2 + sigLen + 1 > fieldsLen) break;
        std::string sig = fields.substr(p + 2, sigLen);
        p += 2 + sigLen + 1;
        if (sig == "u") {
            alignTo(4);
            if (p + 4 > fieldsLen) break;
            uint32_t v = get32(fields, p, r.bigEndian);
            if (code == 5) r.replySerial = v;
            p += 4;
        } else if (sig == "s" || sig == "o") {
            alignTo(4);
            if (p + 4 > fieldsLen) break;
            uint32_t len = get32(fields, p, r.bigEndian);
            p += 4 + size_t(len) + 1;
        } else if (sig == "g") {
            if (p + 1 > fieldsLen) break;
            p += 1 + size_t(static_cast<uint8_t>(fields[p])) + 1;
        } else {
            break;  // no other field type is needed here
        }
    }
    return r;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out.push_back(static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

int connectBus(const std::string& address) {
    // "unix:path=/run/user/1000/bus" or "unix:abstract=name,guid=..."; several
    // addresses are separated by ';' and the first unix one is used.
    size_t start = 0;
    while (start <= address.size()) {
        size_t end = address.find(';', start);
        std::string one = address.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? address.size() + 1 : end + 1;
        if (one.rfind("unix:", 0) != 0) continue;
        std::string path, abstractName;
        std::string rest = one.substr(5);
        size_t p = 0;
        while (p <= rest.size()) {
            size_t comma = rest.find(',', p);
            std::string kv = rest.substr(p, comma == std::string::npos ? std::string::npos : comma - p);
            p = comma == std::string::npos ? rest.size() + 1 : comma + 1;
            size_t eq = kv.find('=');
            if (eq == std::string::npos) continue;
            std::string k = kv.substr(0, eq), v = unescape(kv.substr(eq + 1));
            if (k == "path") path = v;
            else if (k == "abstract") abstractName = v;
        }
        std::string name = path.empty() ? abstractName : path;
        if (name.empty() || name.size() >= sizeof(sockaddr_un::sun_path) - 1) continue;
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        timeval tv{2, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        sockaddr_un sa{};
        sa.sun_family = AF_UNIX;
        socklen_t len;
        if (path.empty()) {
            sa.sun_path[0] = '\0';
            std::memcpy(sa.sun_path + 1, name.data(), name.size());
            len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        } else {
            std::memcpy(sa.sun_path, name.data(), name.size());
            len = static_cast<socklen_t>(sizeof sa);
        }
        if (connect(fd, reinterpret_cast<sockaddr*>(&sa), len) == 0) return fd;
        close(fd);
    }
    return -1;
}

bool authenticate(int fd) {
    std::string uid = std::to_string(getuid()), hex;
    static const char* digits = "0123456789abcdef";
    for (unsigned char c : uid) {
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 15]);
    }
    if (!writeAll(fd, std::string(1, '\0') + "AUTH EXTERNAL " + hex + "\r\n")) return false;
    auto line = readLine(fd);
    if (!line || line->rfind("OK", 0) != 0) return false;
    return writeAll(fd, "BEGIN\r\n");
}

// Sends the call and waits for its reply; nullopt on an error reply or a dead bus.
std::optional<Reply> call(int fd, uint32_t serial, const std::string& destination, const std::string& path,
                          const std::string& interface, const std::string& member, const std::vector<std::string>& args) {
    std::string signature(args.size(), 's');
    if (!writeAll(fd, methodCall(serial, destination, path, interface, member, signature, textArguments(args))))
        return std::nullopt;
    for (int guard = 0; guard < 64; ++guard) {
        auto reply = readMessage(fd);
        if (!reply) return std::nullopt;
        if ((reply->type == 2 || reply->type == 3) && reply->replySerial == serial) {
            if (reply->type == 3) return std::nullopt;
            return reply;
        }
    }
    return std::nullopt;
}

struct Held {
    int fd;
    uint32_t cookie;
    uint32_t nextSerial;
};
std::mutex gMutex;
std::map<PowerAssertionID, Held> gHeld;
PowerAssertionID gNextId = 1;

const char* kService = "org.freedesktop.ScreenSaver";
const char* kPath = "/org/freedesktop/ScreenSaver";

}  // namespace

std::string sessionBusAddress() {
    const char* a = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return a ? a : "";
}

int createPowerAssertion(const std::string& type, int level, const std::string& name, PowerAssertionID* id) {
    if (type != "PreventUserIdleDisplaySleep" || level != kPowerAssertionLevelOn || !id) return kPowerAssertionError;
    std::string address = sessionBusAddress();
    if (address.empty()) return kPowerAssertionError;
    int fd = connectBus(address);
    if (fd < 0) return kPowerAssertionError;
    if (!authenticate(fd) ||
        !call(fd, 1, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "Hello", {})) {
        close(fd);
        return kPowerAssertionError;
    }
    auto reply = call(fd, 2, kService, kPath, kService, "Inhibit", {"Pelorin", name});
    if (!reply || reply->body.size() < 4) {
        close(fd);
        return kPowerAssertionError;
    }
    uint32_t cookie = get32(reply->body, 0, reply->bigEndian);
    std::lock_guard<std::mutex> lock(gMutex);
    PowerAssertionID assigned = gNextId++;
    gHeld[assigned] = Held{fd, cookie, 3};
    *id = assigned;
    return kPowerAssertionSuccess;
}

int releasePowerAssertion(PowerAssertionID id) {
    Held held;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        auto it = gHeld.find(id);
        if (it == gHeld.end()) return kPowerAssertionError;
        held = it->second;
        gHeld.erase(it);
    }
    // The service also drops every inhibition of a connection that goes away,
    // so closing is enough even when the call is lost.
    Message cookie;
    cookie.u32(held.cookie);
    std::string msg = methodCall(held.nextSerial, kService, kPath, kService, "UnInhibit", "u", cookie.buf);
    writeAll(held.fd, msg);
    close(held.fd);
    return kPowerAssertionSuccess;
}

}  // namespace kit
