#pragma once

#include "pages/switch_level_dlg.h"

namespace v36 {

// The unit's automatic gain control of the music input: on or off and its
// level, -18.0 .. -6.0 dB, shown as -6.0dB .. 6.0dB around the middle.
class CAutoMusicVolDlg : public CSwitchLevelDlg {
    Q_OBJECT

  public:
    CAutoMusicVolDlg(CAppServices& app, QWidget* parent);

  protected:
    int positionFromStore() const override;
    QString valueFromStore() const override;
    QString valueOfPosition(int p) const override;
    WordValue levelOf(int p) const override;
};

}  // namespace v36
