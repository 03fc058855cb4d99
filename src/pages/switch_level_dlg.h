#pragma once

#include "app/edit_path.h"
#include "app/page.h"

class QCheckBox;
class QLabel;

namespace v36 {

class CXBmpSlider;

// The shape of the music AGC and automatic subwoofer dialogs (modeless,
// one instance): a description, an "ON" box that switches a function of
// the unit, and one level slider with its caption and value label, usable
// only while the function is on. Each change is an edit sent at once.
class CSwitchLevelDlg : public CToolDialog {
    Q_OBJECT

  public:
    void RefreshFromStore() override;

    QCheckBox* enableBox() const { return enable_; }
    CXBmpSlider* slider() const { return slider_; }
    QLabel* caption() const { return caption_; }
    QLabel* valueLabel() const { return value_; }

  public slots:
    // Enter does nothing (Escape ends the dialog as the close box does).
    void accept() override {}

  protected:
    // The words; the slider counts `positionsPerUnit` positions for each
    // unit of the level over the level's range.
    struct Setup {
        int enableWord = 0;
        int levelWord = 0;
        int positionsPerUnit = 1;
        QString widestValue;
    };
    CSwitchLevelDlg(ToolDialog kind, CAppServices& app, QWidget* parent, Setup setup);

    // The slider position the stored level shows.
    virtual int positionFromStore() const = 0;
    // The value label of the stored level.
    virtual QString valueFromStore() const = 0;
    // The value label of slider position p.
    virtual QString valueOfPosition(int p) const = 0;
    // The level of slider position p.
    virtual WordValue levelOf(int p) const = 0;

    // Ends construction: range, refresh, texts.
    void finish();

  private:
    void onEnableClicked(bool on);
    void onSliderChanged(int position);
    void enableLevel(bool on);

    Setup setup_;
    QLabel* description_ = nullptr;
    QCheckBox* enable_ = nullptr;
    QLabel* caption_ = nullptr;
    CXBmpSlider* slider_ = nullptr;
    QLabel* value_ = nullptr;
    bool refreshing_ = false;
};

}  // namespace v36
