#include "network/nbt_packet.h"

#include <cstring>

namespace nbt {

namespace {

constexpr uint16_t kTypeNb = 0x0020;
constexpr uint16_t kClassIn = 0x0001;
constexpr uint32_t kNameTtlSeconds = 300000;  // what Windows announces
constexpr uint16_t kNbFlagGroup = 0x8000;

// Name service header flags.
constexpr uint16_t kFlagResponse = 0x8000;
constexpr uint16_t kFlagAuthoritative = 0x0400;
constexpr uint16_t kFlagRecursionDesired = 0x0100;
constexpr uint16_t kFlagRecursionAvailable = 0x0080;
constexpr uint16_t kFlagBroadcast = 0x0010;

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kDatagramHeaderSize = 14;
constexpr std::size_t kMaxNameLength = 255;  // all labels and length bytes
constexpr int kMaxPointerJumps = 4;

constexpr uint16_t Flags(uint8_t opcode, uint16_t bits) {
    return static_cast<uint16_t>((opcode & 0x0F) << 11 | bits);
}

class Writer {
public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v >> 8));
        U8(static_cast<uint8_t>(v));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v >> 16));
        U16(static_cast<uint16_t>(v));
    }
    void Name(const NetbiosName& name) {
        uint8_t encoded[kEncodedNameSize];
        EncodeName(name, encoded);
        bytes_.insert(bytes_.end(), encoded, encoded + kEncodedNameSize);
    }
    void Bytes(std::span<const uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// Reads big-endian fields; any read past the end leaves it failed for good.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Ok() const { return ok_; }
    std::size_t Position() const { return pos_; }
    void Seek(std::size_t pos) { pos_ = pos; }
    bool Has(std::size_t n) const { return ok_ && pos_ <= bytes_.size() && bytes_.size() - pos_ >= n; }
    uint8_t U8() {
        if (!Has(1)) return Fail();
        return bytes_[pos_++];
    }
    uint16_t U16() {
        const uint8_t hi = U8();
        const uint8_t lo = U8();
        return static_cast<uint16_t>(hi << 8 | lo);
    }
    uint32_t U32() {
        const uint32_t hi = U16();
        return hi << 16 | U16();
    }
    void Skip(std::size_t n) {
        if (!Has(n)) {
            Fail();
            return;
        }
        pos_ += n;
    }
    const uint8_t* At() const { return bytes_.data() + pos_; }
    uint8_t Fail() {
        ok_ = false;
        return 0;
    }

private:
    std::span<const uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

struct ParsedName {
    NetbiosName name{};
    bool scoped = false;
};

// Reads a name at the reader's position, following compression pointers when
// allowed. Pointers may only point backwards, so a hostile packet cannot loop.
std::optional<ParsedName> ReadName(Reader& in, bool pointersAllowed) {
    ParsedName result;
    std::size_t resumeAt = 0;
    bool jumped = false;
    int jumps = 0;
    std::size_t total = 0;
    bool first = true;
    for (;;) {
        const std::size_t labelAt = in.Position();
        const uint8_t length = in.U8();
        if (!in.Ok()) return std::nullopt;
        if ((length & 0xC0) == 0xC0) {
            const uint8_t low = in.U8();
            if (!in.Ok() || !pointersAllowed || ++jumps > kMaxPointerJumps) return std::nullopt;
            const std::size_t target = static_cast<std::size_t>(length & 0x3F) << 8 | low;
            if (target >= labelAt) return std::nullopt;
            if (!jumped) resumeAt = in.Position();
            jumped = true;
            in.Seek(target);
            continue;
        }
        if ((length & 0xC0) != 0) return std::nullopt;
        total += 1u + length;
        if (total > kMaxNameLength) return std::nullopt;
        if (length == 0) break;
        if (first) {
            if (length != 32 || !in.Has(32)) return std::nullopt;
            for (std::size_t i = 0; i < 16; ++i) {
                const uint8_t hi = in.U8();
                const uint8_t lo = in.U8();
                if (hi < 'A' || hi > 'P' || lo < 'A' || lo > 'P') return std::nullopt;
                result.name[i] = static_cast<uint8_t>((hi - 'A') << 4 | (lo - 'A'));
            }
            first = false;
        } else {
            result.scoped = true;
            in.Skip(length);
            if (!in.Ok()) return std::nullopt;
        }
    }
    if (first) return std::nullopt;  // the root name alone is no NetBIOS name
    if (jumped) in.Seek(resumeAt);
    return result;
}

struct ResourceRecord {
    ParsedName owner;
    bool hasAddress = false;
    bool group = false;
    uint32_t address = 0;
};

std::optional<ResourceRecord> ReadResourceRecord(Reader& in) {
    ResourceRecord rr;
    auto name = ReadName(in, true);
    if (!name) return std::nullopt;
    rr.owner = *name;
    const uint16_t type = in.U16();
    const uint16_t cls = in.U16();
    in.U32();  // time to live: a broadcast node keeps no cache
    const uint16_t length = in.U16();
    if (!in.Ok() || !in.Has(length)) return std::nullopt;
    const std::size_t end = in.Position() + length;
    if (type == kTypeNb && cls == kClassIn && length >= 6) {
        rr.group = (in.U16() & kNbFlagGroup) != 0;
        rr.address = in.U32();
        rr.hasAddress = true;
    }
    in.Seek(end);
    return rr;
}

void WriteHeader(Writer& out, uint16_t id, uint16_t flags, uint16_t questions, uint16_t answers,
                 uint16_t additional) {
    out.U16(id);
    out.U16(flags);
    out.U16(questions);
    out.U16(answers);
    out.U16(0);
    out.U16(additional);
}

void WriteAddressData(Writer& out, uint32_t ttl, bool group, uint32_t address) {
    out.U16(kTypeNb);
    out.U16(kClassIn);
    out.U32(ttl);
    out.U16(6);
    out.U16(group ? kNbFlagGroup : 0);
    out.U32(address);
}

// A request with the name as its question and, when it carries the owner's
// address, an additional record that points back at the question's name.
std::vector<uint8_t> Request(uint16_t id, uint16_t flags, const NetbiosName& name,
                             const bool* group, uint32_t address) {
    Writer out;
    WriteHeader(out, id, flags, 1, 0, group != nullptr ? 1 : 0);
    out.Name(name);
    out.U16(kTypeNb);
    out.U16(kClassIn);
    if (group != nullptr) {
        out.U16(0xC000 | kHeaderSize);
        WriteAddressData(out, kNameTtlSeconds, *group, address);
    }
    return out.Take();
}

std::vector<uint8_t> Answer(uint16_t id, uint16_t flags, const NetbiosName& name, uint32_t ttl,
                            bool group, uint32_t address) {
    Writer out;
    WriteHeader(out, id, flags, 0, 1, 0);
    out.Name(name);
    WriteAddressData(out, ttl, group, address);
    return out.Take();
}

}  // namespace

NetbiosName MakeName(const uint8_t (&bytes)[16]) {
    NetbiosName name;
    std::memcpy(name.data(), bytes, name.size());
    return name;
}

std::string DisplayName(const NetbiosName& name) {
    std::string text;
    std::size_t length = 15;
    while (length > 0 && name[length - 1] == ' ') --length;
    for (std::size_t i = 0; i < length; ++i) {
        const uint8_t c = name[i];
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
    }
    if (name[15] != ' ') {
        static const char kHex[] = "0123456789abcdef";
        text += '<';
        text += kHex[name[15] >> 4];
        text += kHex[name[15] & 0x0F];
        text += '>';
    }
    return text;
}

void EncodeName(const NetbiosName& name, uint8_t* out) {
    out[0] = 32;
    for (std::size_t i = 0; i < name.size(); ++i) {
        out[1 + 2 * i] = static_cast<uint8_t>('A' + (name[i] >> 4));
        out[2 + 2 * i] = static_cast<uint8_t>('A' + (name[i] & 0x0F));
    }
    out[kEncodedNameSize - 1] = 0;
}

std::optional<NamePacket> ParseNamePacket(std::span<const uint8_t> packet) {
    Reader in(packet);
    NamePacket p;
    p.transactionId = in.U16();
    const uint16_t flags = in.U16();
    const uint16_t questions = in.U16();
    const uint16_t answers = in.U16();
    const uint16_t authority = in.U16();
    const uint16_t additional = in.U16();
    if (!in.Ok()) return std::nullopt;
    p.response = (flags & kFlagResponse) != 0;
    p.opcode = static_cast<uint8_t>(flags >> 11 & 0x0F);
    p.broadcast = (flags & kFlagBroadcast) != 0;
    p.rcode = static_cast<uint8_t>(flags & 0x0F);
    // A broadcast node's packets carry one question and/or one record.
    if (questions > 1 || answers > 1 || authority > 0 || additional > 1) return std::nullopt;
    if (questions == 0 && answers == 0) return std::nullopt;
    if (questions == 1) {
        auto name = ReadName(in, true);
        if (!name) return std::nullopt;
        const uint16_t type = in.U16();
        const uint16_t cls = in.U16();
        if (!in.Ok() || type != kTypeNb || cls != kClassIn) return std::nullopt;
        p.name = name->name;
        p.scoped = name->scoped;
    }
    if (answers == 1) {
        auto rr = ReadResourceRecord(in);
        if (!rr) return std::nullopt;
        p.name = rr->owner.name;
        p.scoped = rr->owner.scoped;
        p.hasAddress = rr->hasAddress;
        p.group = rr->group;
        p.address = rr->address;
    }
    if (additional == 1) {
        auto rr = ReadResourceRecord(in);
        if (!rr) return std::nullopt;
        p.hasAddress = rr->hasAddress;
        p.group = rr->group;
        p.address = rr->address;
    }
    return p;
}

std::vector<uint8_t> BuildRegistrationRequest(uint16_t id, const NetbiosName& name, bool group,
                                              uint32_t address) {
    return Request(id, Flags(kOpRegistration, kFlagRecursionDesired | kFlagBroadcast), name,
                   &group, address);
}

std::vector<uint8_t> BuildReleaseRequest(uint16_t id, const NetbiosName& name, bool group,
                                         uint32_t address) {
    return Request(id, Flags(kOpRelease, kFlagBroadcast), name, &group, address);
}

std::vector<uint8_t> BuildNegativeRegistrationResponse(uint16_t id, const NetbiosName& name,
                                                       bool group, uint32_t address) {
    const uint16_t flags = Flags(kOpRegistration, kFlagResponse | kFlagAuthoritative |
                                                      kFlagRecursionDesired |
                                                      kFlagRecursionAvailable | kRcodeActiveError);
    return Answer(id, flags, name, 0, group, address);
}

std::vector<uint8_t> BuildQueryRequest(uint16_t id, const NetbiosName& name) {
    return Request(id, Flags(kOpQuery, kFlagRecursionDesired | kFlagBroadcast), name, nullptr, 0);
}

std::vector<uint8_t> BuildPositiveQueryResponse(uint16_t id, const NetbiosName& name, bool group,
                                                uint32_t address) {
    const uint16_t flags =
        Flags(kOpQuery, kFlagResponse | kFlagAuthoritative | kFlagRecursionDesired);
    return Answer(id, flags, name, kNameTtlSeconds, group, address);
}

std::optional<DatagramPacket> ParseDatagram(std::span<const uint8_t> packet) {
    Reader in(packet);
    DatagramPacket d;
    d.type = in.U8();
    d.flags = in.U8();
    d.id = in.U16();
    d.sourceAddress = in.U32();
    d.sourcePort = in.U16();
    if (!in.Ok() || d.type < kDirectUnique || d.type > kLastServiceType) return std::nullopt;
    if (d.type >= kDatagramError) return d;
    const uint16_t length = in.U16();
    const uint16_t offset = in.U16();
    if (!in.Ok()) return std::nullopt;
    // Fragments are not reassembled: a record always fits one datagram.
    if ((d.flags & kFlagMore) != 0 || (d.flags & kFlagFirst) == 0 || offset != 0) return d;
    if (!in.Has(length)) return std::nullopt;
    Reader body(packet.subspan(kDatagramHeaderSize, length));
    auto source = ReadName(body, false);
    if (!source) return std::nullopt;
    auto destination = ReadName(body, false);
    if (!destination) return std::nullopt;
    d.source = source->name;
    d.destination = destination->name;
    d.scoped = source->scoped || destination->scoped;
    d.data = packet.subspan(kDatagramHeaderSize + body.Position(), length - body.Position());
    d.whole = true;
    return d;
}

std::vector<uint8_t> BuildDirectGroupDatagram(uint16_t id, uint32_t sourceAddress,
                                              uint16_t sourcePort, const NetbiosName& source,
                                              const NetbiosName& destination,
                                              std::span<const uint8_t> data) {
    Writer out;
    out.U8(kDirectGroup);
    out.U8(kFlagFirst);
    out.U16(id);
    out.U32(sourceAddress);
    out.U16(sourcePort);
    out.U16(static_cast<uint16_t>(2 * kEncodedNameSize + data.size()));
    out.U16(0);
    out.Name(source);
    out.Name(destination);
    out.Bytes(data);
    return out.Take();
}

}  // namespace nbt
