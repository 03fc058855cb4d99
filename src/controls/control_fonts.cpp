#include "controls/control_fonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <cmath>

namespace v36 {

namespace {

// Only families that are known to exist are named; everything else is left to
// the style hint and the font engine's fallback.
QString installedFamily(FontRole role) {
    const QStringList wanted =
        role == FontRole::Latin
            ? QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}
            : QStringList{};
    for (const QString& family : wanted) {
        if (QFontDatabase::hasFamily(family)) return family;
    }
    return {};
}

}  // namespace

QFont controlFont(FontRole role, double pixels, int weight) {
    QFont font;
    const QString family = installedFamily(role);
    if (!family.isEmpty()) font.setFamily(family);
    font.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    font.setWeight(
        static_cast<QFont::Weight>(role == FontRole::CjkBold ? std::max(weight, 700) : weight));
    return font;
}

QFont controlFontPt(FontRole role, double points, int weight) {
    return controlFont(role, points * 96.0 / 72.0, weight);
}

}  // namespace v36
