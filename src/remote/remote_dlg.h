#pragma once

#include "app/page.h"

class QLabel;

namespace v36 {

class CGdipButton;
class CRemotePicture;

// Teaches the unit's infrared receiver the codes of a remote control
// (modeless, one instance): a click on a key of the drawn remote learns
// that key; Apply stores the learned table in the unit; the table can be
// saved to and loaded from a remote data file. The unit's level poll
// pauses while the dialog is open.
class CRemoteDlg : public CToolDialog {
    Q_OBJECT

  public:
    // Control ids of the template.
    enum : int { kApply = 1, kClose = 2, kLoad = 3, kSave = 4, kHint = 1217 };
    static const char* const kFileFilter;

    CRemoteDlg(CAppServices& app, QWidget* parent);
    ~CRemoteDlg() override;

    void ApplyLanguage() override;

    CRemotePicture* picture() const { return picture_; }
    CGdipButton* button(int id) const;

    // Learns key 1..17: starts the unit's learning and opens the learning
    // dialog (modal, without a loop of its own: this returns at once).
    void learnKey(int key);
    void onApply();
    void onLoad();
    void onSave();

  public slots:
    // Enter does nothing (Escape ends the dialog as the close box does).
    void accept() override {}

  private:
    // A notice for the file actions, which need the unit.
    bool requireUnit();

    CRemotePicture* picture_ = nullptr;
    QLabel* hint_ = nullptr;
    bool resumeLevelPoll_ = false;
};

}  // namespace v36
