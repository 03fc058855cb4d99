#pragma once

#include <QByteArray>
#include <QString>

namespace v36 {

// Decodes GBK text (the language files' encoding). Qt decodes it through
// ICU where Qt was built with it; otherwise the C library's iconv does.
// Returns a null string when neither can decode GBK.
QString decodeGbk(const QByteArray& bytes);

// The reverse, for tests and tools; empty when GBK is not available.
QByteArray encodeGbk(const QString& text);

}  // namespace v36
