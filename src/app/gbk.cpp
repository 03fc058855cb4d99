#include "app/gbk.h"

#include <iconv.h>

#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <vector>

namespace v36 {

namespace {

// Converts with iconv; empty optional-like result (ok = false) on failure.
QByteArray iconvConvert(const char* to, const char* from, const QByteArray& in, bool& ok) {
    ok = false;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::vector<char> out(static_cast<std::size_t>(in.size()) * 4 + 16);
    char* src = const_cast<char*>(in.constData());
    std::size_t srcLeft = static_cast<std::size_t>(in.size());
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return {};
    ok = true;
    return QByteArray(out.data(), static_cast<qsizetype>(out.size() - dstLeft));
}

}  // namespace

QString decodeGbk(const QByteArray& bytes) {
    QStringDecoder decoder("GBK");
    if (decoder.isValid()) {
        QString text = decoder.decode(bytes);
        if (!decoder.hasError()) return text;
    }
    bool ok = false;
    const QByteArray utf8 = iconvConvert("UTF-8", "GBK", bytes, ok);
    if (!ok) return {};
    return QString::fromUtf8(utf8);
}

QByteArray encodeGbk(const QString& text) {
    QStringEncoder encoder("GBK");
    if (encoder.isValid()) {
        QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError()) return bytes;
    }
    bool ok = false;
    QByteArray bytes = iconvConvert("GBK", "UTF-8", text.toUtf8(), ok);
    return ok ? bytes : QByteArray();
}

}  // namespace v36
