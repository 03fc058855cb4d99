#pragma once

#include <QFont>

namespace v36 {

// The two font roles of the drawn controls. Latin texts (numbers, units,
// "Arial"/"Tahoma" captions) use the system's sans-serif face; Chinese texts
// ("宋体" body text, "黑体" overlays) use the system's default face and let the
// font engine fall back to whatever CJK face is installed for the glyphs.
enum class FontRole { Latin, Cjk, CjkBold };

// A font of `pixels` height (rounded to whole pixels) in the given role.
QFont controlFont(FontRole role, double pixels, int weight = QFont::Normal);

// A font given in points at the controls' reference resolution of 96 dpi.
QFont controlFontPt(FontRole role, double points, int weight = QFont::Normal);

}  // namespace v36
