#include "pages/auto_sub_dlg.h"

#include <algorithm>

#include "context/device_context.h"
#include "protocol/controls.h"
#include "protocol/words.h"

namespace v36 {

CAutoSubDlg::CAutoSubDlg(CAppServices& app, QWidget* parent)
    : CSwitchLevelDlg(ToolDialog::AutoSub, app, parent,
                      {w::autoSubEnable, w::autoSubLevel, 1, QStringLiteral("100%")}) {
    setWindowTitle(pick(app.languageIndex(), "自动超低音量衰减", "Auto SUB vol decay"));
    finish();
}

int CAutoSubDlg::positionFromStore() const {
    const ControlInfo& c = controlInfo(w::autoSubLevel);
    return std::clamp(app_.device().store.params.getInt(w::autoSubLevel), static_cast<int>(c.lo),
                      static_cast<int>(c.hi));
}

QString CAutoSubDlg::valueFromStore() const {
    return QStringLiteral("%1%").arg(app_.device().store.params.getInt(w::autoSubLevel));
}

QString CAutoSubDlg::valueOfPosition(int p) const {
    return QStringLiteral("%1%").arg(p);
}

WordValue CAutoSubDlg::levelOf(int p) const {
    return {p, 0.0f};
}

}  // namespace v36
