#include "pages/auto_sub_dlg.h"

#include <algorithm>

#include "context/device_context.h"
#include "protocol/words.h"

namespace v36 {

CAutoSubDlg::CAutoSubDlg(CAppServices& app, QWidget* parent)
    : CSwitchLevelDlg(ToolDialog::AutoSub, app, parent,
                      {w::autoSubEnable,
                       w::autoSubLevel,
                       0,
                       100,
                       QStringLiteral("100%"),
                       {"自动超低", "Auto SUB"},
                       {"超低比例", "SUB Vol"}}) {
    setWindowTitle(pick(app.languageIndex(), "自动超低音量衰减", "Auto SUB vol decay"));
    finish();
}

int CAutoSubDlg::positionFromStore() const {
    return std::clamp(app_.device().store.params.getInt(w::autoSubLevel), 0, 100);
}

QString CAutoSubDlg::valueFromStore() const {
    return QStringLiteral("%1%").arg(app_.device().store.params.getInt(w::autoSubLevel));
}

QString CAutoSubDlg::valueOfPosition(int p) const {
    return QStringLiteral("%1%").arg(p);
}

void CAutoSubDlg::setLevel(Edit& edit, int p) const {
    edit.wordInt(w::autoSubLevel, p);
}

}  // namespace v36
