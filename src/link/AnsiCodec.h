#pragma once

#include <QByteArray>
#include <QString>

namespace kelvane {

// The ANSI code page of the Chinese Windows systems the game is played on: GBK, code page
// 936. Strings are Unicode inside the program and GBK on the wire, as the original socket
// control converted them.
//
// A codec owns its own iconv handles, so codecs never share conversion state. It is cheap
// to make one per conversion; keep one to convert many strings.
class AnsiCodec {
public:
    AnsiCodec() = default;
    ~AnsiCodec();
    AnsiCodec(const AnsiCodec&) = delete;
    AnsiCodec& operator=(const AnsiCodec&) = delete;

    // Characters that GBK cannot hold become "?".
    QByteArray encode(const QString& text);
    // Bytes that are not GBK, and a lead byte cut off at the end, become U+FFFD.
    QString decode(const QByteArray& bytes);

private:
    void* encoder_ = nullptr; // iconv_t, opened on first use
    void* decoder_ = nullptr;
};

QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

// True when the GBK text that starts at `from` ends with a lead byte whose trail byte has
// not arrived yet. Characters are paired from `from` on, so a trail byte that happens to
// lie in the lead range is not taken for a lead.
bool endsInsideCharacter(const QByteArray& bytes, qsizetype from);

} // namespace kelvane
