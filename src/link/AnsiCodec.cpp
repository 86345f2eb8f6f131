#include "link/AnsiCodec.h"

#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <stdexcept>
#include <string>

namespace kelvane {

namespace {

constexpr const char* AnsiCodePage = "CP936";
constexpr char16_t ReplacementCharacter = 0xFFFD;

const char* nativeUtf16() {
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
}

const iconv_t NoHandle = reinterpret_cast<iconv_t>(-1);

iconv_t openedHandle(void*& handle, const char* to, const char* from) {
    if (handle == nullptr) {
        iconv_t opened = iconv_open(to, from);
        if (opened == NoHandle) {
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " +
                                     to);
        }
        handle = opened;
    }
    iconv_t cd = static_cast<iconv_t>(handle);
    iconv(cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
    return cd;
}

void closeHandle(void* handle) {
    if (handle != nullptr) {
        iconv_close(static_cast<iconv_t>(handle));
    }
}

bool isLeadByte(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return value >= 0x81 && value <= 0xFE;
}

// iconv writes through a raw pointer into a buffer that may have to grow.
struct OutputCursor {
    QByteArray& buffer;
    char* next;
    size_t left;

    OutputCursor(QByteArray& target) : buffer(target), next(target.data()), left(target.size()) {}

    qsizetype written() const { return next - buffer.constData(); }

    void ensureRoom(qsizetype bytes) {
        if (left >= size_t(bytes)) {
            return;
        }
        const qsizetype used = written();
        buffer.resize(buffer.size() * 2 + bytes);
        next = buffer.data() + used;
        left = buffer.size() - used;
    }

    void put(const void* bytes, qsizetype count) {
        ensureRoom(count);
        memcpy(next, bytes, count);
        next += count;
        left -= count;
    }
};

// Runs iconv over all of `input`. Whenever it stops at input it cannot convert,
// `replace` writes a substitute and returns how many input bytes to skip (at least one),
// so the loop always moves forward.
template <typename Replace>
qsizetype convertAll(iconv_t cd, const char* input, qsizetype size, OutputCursor& out,
                     Replace replace) {
    char* in = const_cast<char*>(input);
    size_t inLeft = size;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out.next, &out.left) != size_t(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.ensureRoom(out.left + 16);
            continue;
        }
        const size_t skip = replace(in - input, inLeft);
        in += skip;
        inLeft -= skip;
    }
    return out.written();
}

} // namespace

AnsiCodec::~AnsiCodec() {
    closeHandle(encoder_);
    closeHandle(decoder_);
}

QByteArray AnsiCodec::encode(const QString& text) {
    iconv_t cd = openedHandle(encoder_, AnsiCodePage, nativeUtf16());
    // GBK takes at most two bytes for each UTF-16 unit.
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    OutputCursor out(bytes);
    const auto replace = [&](qsizetype offset, size_t left) -> size_t {
        out.put("?", 1);
        const qsizetype unit = offset / 2;
        const bool pair = unit + 1 < text.size() && text.at(unit).isHighSurrogate() &&
                          text.at(unit + 1).isLowSurrogate();
        return std::min<size_t>(pair ? 4 : 2, left);
    };
    bytes.truncate(convertAll(cd, reinterpret_cast<const char*>(text.constData()), text.size() * 2,
                              out, replace));
    return bytes;
}

QString AnsiCodec::decode(const QByteArray& bytes) {
    iconv_t cd = openedHandle(decoder_, nativeUtf16(), AnsiCodePage);
    // Every GBK byte gives at most one UTF-16 unit.
    QByteArray units(bytes.size() * 2, Qt::Uninitialized);
    OutputCursor out(units);
    const auto replace = [&](qsizetype, size_t) -> size_t {
        out.put(&ReplacementCharacter, sizeof ReplacementCharacter);
        return 1;
    };
    const qsizetype written = convertAll(cd, bytes.constData(), bytes.size(), out, replace);
    return QString(reinterpret_cast<const QChar*>(units.constData()), written / 2);
}

QByteArray toAnsi(const QString& text) {
    return AnsiCodec().encode(text);
}

QString fromAnsi(const QByteArray& bytes) {
    return AnsiCodec().decode(bytes);
}

bool endsInsideCharacter(const QByteArray& bytes, qsizetype from) {
    qsizetype at = std::max<qsizetype>(from, 0);
    while (at < bytes.size()) {
        if (!isLeadByte(bytes.at(at))) {
            ++at;
        } else if (at + 1 == bytes.size()) {
            return true;
        } else {
            at += 2;
        }
    }
    return false;
}

} // namespace kelvane
