#include "pages/auto_music_vol_dlg.h"

#include <algorithm>
#include <cmath>

#include "context/device_context.h"
#include "protocol/controls.h"
#include "protocol/words.h"

namespace v36 {

namespace {

// The slider holds tenths of a dB of the AGC level.
constexpr int kTenths = 10;
// The label shows the level against the middle of its range.
constexpr double kShownOffsetDb = 12.0;

QString dbText(double db) {
    return QString::asprintf("%.1fdB", db);
}

}  // namespace

CAutoMusicVolDlg::CAutoMusicVolDlg(CAppServices& app, QWidget* parent)
    : CSwitchLevelDlg(ToolDialog::MusicAgc, app, parent,
                      {w::musicAgcEnable, w::musicAgcLevel, kTenths, QStringLiteral("-6.0dB")}) {
    setWindowTitle(pick(app.languageIndex(), "音乐AGC", "Music AGC"));
    finish();
}

int CAutoMusicVolDlg::positionFromStore() const {
    // Rounded, so that a level set by the slider (p / 10 as a single)
    // shows the same position again.
    const float level = app_.device().store.params.getFloat(w::musicAgcLevel);
    const double tenths = std::isfinite(level) ? std::round(static_cast<double>(level) * 10.0) : 0;
    const ControlInfo& c = controlInfo(w::musicAgcLevel);
    return static_cast<int>(std::clamp(tenths, c.lo * kTenths, c.hi * kTenths));
}

QString CAutoMusicVolDlg::valueFromStore() const {
    return dbText(static_cast<double>(app_.device().store.params.getFloat(w::musicAgcLevel)) +
                  kShownOffsetDb);
}

QString CAutoMusicVolDlg::valueOfPosition(int p) const {
    return dbText((p + 120) / 10.0);
}

WordValue CAutoMusicVolDlg::levelOf(int p) const {
    return {0, static_cast<float>(p) / static_cast<float>(kTenths)};
}

}  // namespace v36
