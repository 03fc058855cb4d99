#include "app/messages.h"

#include <QRegularExpression>

#include "app/language.h"

namespace v36 {

QString questionCaption(int lang) {
    return pick(lang, "提示", "Confirm");
}

QString errorCaption(int lang) {
    return pick(lang, "错误", "Error");
}

QString parameterErrorMessage(int lang, std::string_view unitText) {
    const QString text =
        QString::fromUtf8(unitText.data(), static_cast<qsizetype>(unitText.size()));
    if (lang != kEnglish) return text;
    static const QRegularExpression codes(
        QStringLiteral("0x:([0-9A-Fa-f]+).*0x([0-9A-Fa-f]+).*0x([0-9A-Fa-f]+)"));
    const QRegularExpressionMatch m = codes.match(text);
    if (!m.hasMatch()) return QStringLiteral("The unit reports a parameter error: ") + text;
    return QStringLiteral(
               "The unit reports a parameter error: code 0x%1, command bytes 0x%2 "
               "and 0x%3.")
        .arg(m.captured(1), m.captured(2), m.captured(3));
}

QString permissionDeniedText(int lang, const QString& path, const QString& message) {
    if (lang == kEnglish) return message;
    QString text = QString::fromUtf8("已找到设备 %1，但没有权限打开它。").arg(path);
#ifdef __linux__
    text += QString::fromUtf8(
        "请安装 udev 规则（将 resources/linux/70-dsp-v36.rules 复制到 /etc/udev/rules.d/），"
        "运行 \"sudo udevadm control --reload-rules && sudo udevadm "
        "trigger\"，然后拔下设备再重新插上。");
#endif
    return text;
}

}  // namespace v36
