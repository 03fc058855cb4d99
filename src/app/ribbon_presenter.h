#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "phone/store_watcher.h"

class QWheelEvent;

namespace v36 {

class CEditorPage;
class CKorvelv13App;
class CMFCMyRibbonStatusBar;
class CMainFrame;
class CMyMFCRibbonBar;
enum class VolumeControl;

// The ribbon and the status bar as views of the store: the volume, gate and
// pitch sliders with their captions, the mute boxes, the mode, input and
// source marks, the wireless-microphone status, the Undo and Redo entries
// and the status panes. Its commands become edits of the one edit path;
// whatever changes the store (an edit anywhere, the unit, a pull) shows
// here through the store's change notices.
class RibbonPresenter : public QObject {
    Q_OBJECT

  public:
    using PageLookup = std::function<CEditorPage*()>;

    RibbonPresenter(CKorvelv13App& app, CMainFrame& frame, StoreWatcher& watcher,
                    PageLookup currentPage, QObject* parent = nullptr);

    // A slider or mute command of either category.
    bool handleCommand(int id);
    // A wheel turn over the ribbon: steps the control under the pointer;
    // false when the active category has no such controls.
    bool handleWheel(QWheelEvent* event);

    // The whole ribbon relabelled in the current language.
    void relabel();
    // Sliders, captions and marks from the store.
    void refresh();
    // The four volume sliders and their captions.
    void refreshVolumes();
    void refreshPitchCaption();
    // The status panes, marks, status labels and the Undo and Redo entries.
    void updateCommandUI();

  private:
    CMyMFCRibbonBar& ribbon() const;
    void onStoreChanged();
    bool outputActive() const;
    int sliderValue(int inputId, int outputId) const;
    void setBothSliders(int inputId, int outputId, int value);
    void setBothLabels(int inputId, int outputId, VolumeControl control, int value);
    void OnVolume(VolumeControl control, int value);
    void OnPitch(int value);
    void OnMuteCommand(int id);
    void refreshPitch();
    // The unit chooser of the status bar: which unit is open, and the menu
    // that switches to another.
    void refreshUnitChooser(CMFCMyRibbonStatusBar& status);

    CKorvelv13App& app_;
    CMainFrame& frame_;
    StoreWatcher& watcher_;
    PageLookup currentPage_;
    StoreCursor cursor_;
    // A unit that stops answering says nothing: how the link fares is looked
    // at once a second.
    QTimer linkTimer_;
    // What the unit chooser's menu was last built from.
    QString unitMenuKey_;
};

}  // namespace v36
