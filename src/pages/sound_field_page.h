#pragma once

#include <QString>
#include <array>

#include "app/page.h"
#include "protocol/param_store.h"

class QLineEdit;
class QLabel;

namespace v36 {

class CGdipButton;
class CPageButtonRow;
class CSSVolumePanel;
class CSpinButton;
struct CSSItem;
class Edit;

// The sound-field page: the room, the listener and the speakers as number
// fields with spin arrows on the left and as a drawn room on the right,
// where they can be dragged. Each speaker's level follows from its distance
// to the listener: +3 dB on top of the listener, 0 dB at one metre and 3 dB
// less for every further metre.
class CSSVCDlg : public CEditorPage {
    Q_OBJECT

  public:
    // Control ids.
    static constexpr int kRoomWidthEdit = 1038;
    static constexpr int kRoomLengthEdit = 1039;
    static constexpr int kRoomWidthSpin = 1242;
    static constexpr int kRoomLengthSpin = 1243;
    // Item i (0 the listener, 1..8 the speakers): X edit kFirstEdit + 2i,
    // Y edit kFirstEdit + 2i + 1, and their spins kFirstSpin + 2i (+ 1).
    static constexpr int kFirstEdit = 1040;
    static constexpr int kFirstSpin = 1244;
    static constexpr int kRoomPanel = 1237;
    static constexpr int kModifyButton = 1239;
    static constexpr int kCenterButton = 1238;
    static constexpr int kResetButton = 1216;
    static constexpr int kItems = 9;
    // The items the page shows: the listener and six speakers (not the top pair).
    static constexpr int kShownItems = 7;

    CSSVCDlg(CAppServices& app, QWidget* parent);

    void RefreshFromStore() override;
    void ApplyLanguage() override;

    QLineEdit* edit(int id) const;
    CSpinButton* spin(int id) const;
    CSSVolumePanel* roomPanel() const { return room_; }
    CPageButtonRow* pageButtons() const { return buttons_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void build();
    void onItemDragged(const CSSItem& item);
    void onPositionSpin(int spinId, int delta);
    void onRoomSpin(int spinId, int delta);
    // Moves item `item` to what its two edits say; `confirmed` (Enter, or the
    // edit left) also sets its spins.
    void moveFromEdits(int item, bool confirmed);
    // Stores the item's new position and sends the room and the levels that
    // follow from it, as one step (`merge`: a drag or a run of spin steps).
    void commitMove(int item, float x, float y, bool merge);
    void changeRoom(bool fromButton);
    void centerListener();
    void resetAll();
    // Adds the levels of every speaker for the listener at (lx, ly) in the
    // order Main L, Center, Main R, Rear L, Sub, Rear R, Top L, Top R.
    void addAllLevels(Edit& edit, const SoundFieldGeometry& g, float lx, float ly) const;
    void showPosition(int item, float x, float y);
    // Whether a position box of the item holds text typed since the page
    // last wrote it.
    bool typedPosition(int item) const;
    void setPositionSpins(int item, float x, float y);
    void setPositionRanges(int width, int length);
    // The edit of an item's X or Y (or a room edit) that has the focus; 0 for none.
    int focusedEditId() const;
    QString itemName(int item, int language) const;

    CPageButtonRow* buttons_ = nullptr;
    CSSVolumePanel* room_ = nullptr;
    // The focused edit the wheel last turned, and the part of a notch it
    // has not stepped yet.
    int wheelEdit_ = 0;
    int wheelRest_ = 0;
    QLineEdit* roomEdits_[2]{};
    CSpinButton* roomSpins_[2]{};
    std::array<QLineEdit*, 2 * kItems> edits_{};
    // What the page last wrote into each position box: a box left with
    // that text holds nothing typed.
    std::array<QString, 2 * kItems> shown_{};
    std::array<CSpinButton*, 2 * kItems> spins_{};
    std::array<QLabel*, kItems> names_{};
};

}  // namespace v36
