#pragma once

#include "pages/switch_level_dlg.h"

namespace v36 {

// The automatic lowering of the subwoofer while a microphone is in use: on
// or off and the level (percent) the subwoofer drops to.
class CAutoSubDlg : public CSwitchLevelDlg {
    Q_OBJECT

  public:
    CAutoSubDlg(CAppServices& app, QWidget* parent);

  protected:
    int positionFromStore() const override;
    QString valueFromStore() const override;
    QString valueOfPosition(int p) const override;
    WordValue levelOf(int p) const override;
};

}  // namespace v36
