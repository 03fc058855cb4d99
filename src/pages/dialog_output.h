#pragma once

#include <QWidget>
#include <array>

#include "app/page.h"
#include "controls/pictures.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace v36 {

class CEqEditor;
class CPageButtonRow;
class CWheelToFocus;
class CXBmpSlider;
struct OutputGroup;

// A drawn picture that keeps its aspect, centred in the control.
class CPicture : public QWidget {
    Q_OBJECT

  public:
    explicit CPicture(QWidget* parent = nullptr);
    void setPicture(int id);
    int picture() const { return picture_.id(); }
    QSize sizeHint() const override { return picture_.size(); }
    QSize minimumSizeHint() const override { return picture_.size() * 3 / 4; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    CGdiPlusBitmapResource picture_;
};

// The output page: one output channel at a time (5 Main, 3 Center, 2 Sub,
// 4 Rear, 11 Top) with its speaker picture, its four mix levels, the mute
// switches of all channels and the channel's EQ on the shared EQ editor; on
// the subwoofer the EQ points can be crossovers of a family from a list.
// Every edit goes through the edit path.
class CDialogOutput : public CEditorPage {
    Q_OBJECT

  public:
    static constexpr int kPictureId = 1258;
    static constexpr int kFirstLevelSliderId = 1041;
    static constexpr int kFirstLevelCaptionId = 1123;
    static constexpr int kFirstLevelLabelId = 1127;
    static constexpr int kFamilyListId = 1134;
    static constexpr int kFamilyCaptionId = 1215;
    // The mute switches in page order: Main, Center, Sub, Rear, Top (hidden).
    static constexpr std::array<int, 5> kMuteIds{1045, 1047, 1048, 1050, 1049};
    static constexpr std::array<int, 5> kMuteChannels{5, 3, 2, 4, 11};

    CDialogOutput(CAppServices& app, int channel, QWidget* parent);

    void RefreshFromStore() override;
    void ApplyLanguage() override;
    int channel() const override { return channel_; }
    void setChannel(int channel) override;

    void ToggleEqBypass() override;
    bool IsEqBypassed() override;
    void ResetEq() override;

    // ---- parts ----
    CPicture* speakerPicture() const { return picture_; }
    CXBmpSlider* levelSlider(int k) const { return levels_.at(static_cast<std::size_t>(k)); }
    QLabel* levelLabel(int k) const { return levelLabels_.at(static_cast<std::size_t>(k)); }
    QLabel* levelCaption(int k) const { return levelCaptions_.at(static_cast<std::size_t>(k)); }
    // By page order (Main, Center, Sub, Rear, Top).
    QCheckBox* muteSwitch(int i) const { return mutes_.at(static_cast<std::size_t>(i)); }
    QComboBox* familyList() const { return families_; }
    QLabel* familyCaption() const { return familyCaption_; }
    CEqEditor* eqEditor() const { return editor_; }
    CPageButtonRow* pageButtons() const { return buttons_; }

    // The output group of an output channel (5, 3, 2, 4, 11); Main otherwise.
    static const OutputGroup& groupOf(int channel);
    // The speaker picture of a channel in a language.
    static int pictureOf(int channel, int language);

  private:
    void onLevel(int k, int position);
    void onMute(int i, bool muted);
    void onFamily(int family);
    // The family list shows subwoofer point `point` (-1: none): with the
    // point's family while its shown type is a low-pass or high-pass,
    // hidden otherwise and on every other channel.
    void showFamilyOf(int point);
    void refreshLevels();

    int channel_;
    CPageButtonRow* buttons_ = nullptr;
    CPicture* picture_ = nullptr;
    std::array<QLabel*, 4> levelCaptions_{};
    std::array<CXBmpSlider*, 4> levels_{};
    std::array<QLabel*, 4> levelLabels_{};
    std::array<QCheckBox*, 5> mutes_{};
    CEqEditor* editor_ = nullptr;
    QLabel* familyCaption_ = nullptr;
    QComboBox* families_ = nullptr;
    CWheelToFocus* wheel_ = nullptr;
    int familyPoint_ = -1;     // the point the family list stands for
    int editorLanguage_ = -1;  // the language the EQ editor's texts are in
};

}  // namespace v36
