// The language files' reader, apart from the widgets it labels (it builds
// with Qt's core alone, for the fuzzer).
#include "app/gbk.h"
#include "app/language.h"

namespace v36 {

LanguageFile LanguageFile::fromGbk(const QByteArray& bytes) {
    const QString text = decodeGbk(bytes);
    if (text.isNull()) return {};
    return fromText(text);
}

LanguageFile LanguageFile::fromText(const QString& text) {
    LanguageFile file;
    bool inStrings = false;
    const auto lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("//")) ||
            trimmed.startsWith(QLatin1Char(';'))) {
            continue;
        }
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            inStrings = trimmed.mid(1, trimmed.size() - 2)
                            .trimmed()
                            .compare(QLatin1String("String"), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inStrings) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed().toLower();
        if (key.isEmpty() || file.values_.contains(key)) continue;  // the first one counts
        file.values_.insert(key, line.mid(eq + 1).left(kMaxValue));
    }
    return file;
}

QString LanguageFile::value(const QString& key) const {
    return values_.value(key.toLower());
}

QString LanguageFile::title(int templateId) const {
    return value(QStringLiteral("IDD%1_title").arg(templateId));
}

QString LanguageFile::text(int templateId, int control) const {
    return value(QStringLiteral("IDD%1_%2").arg(templateId).arg(control));
}

}  // namespace v36
