// Feeds arbitrary bytes to the language-file reader, as GBK and as already
// decoded text: every key it keeps must be found again, and the texts the
// windows ask for must never exceed the longest value kept.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "app/language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const v36::LanguageFile& file : {v36::LanguageFile::fromGbk(bytes),
                                          v36::LanguageFile::fromText(QString::fromUtf8(bytes))}) {
        for (int templateId : {313, 335, 385}) {
            if (file.title(templateId).size() > v36::LanguageFile::kMaxValue) __builtin_trap();
            for (int control = 1000; control < 1010; ++control) {
                if (file.text(templateId, control).size() > v36::LanguageFile::kMaxValue)
                    __builtin_trap();
            }
        }
        (void)file.size();
    }
    return 0;
}
