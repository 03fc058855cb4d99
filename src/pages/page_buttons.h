#pragma once

#include <QWidget>
#include <array>

#include "app/page.h"

namespace v36 {

class CGdipButton;

// The row of page buttons along the top of the output, delay, sound-field
// and compressor pages: "Main", "Center", "Sub", "Rear" (the output page
// for channels 5, 3, 2, 4), "Location", "Delay", "Comp" (the sound-field,
// delay and compressor pages) and "Top" (channel 11, kept hidden). Each
// button asks the shell for its page; the button of the page being shown is
// drawn highlighted. The buttons carry the control ids 1069..1076, so the
// page's own template relabels them.
class CPageButtonRow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFirstId = 1069;  // Main
    static constexpr int kTopId = 1076;
    static constexpr int kButtons = 8;
    // Pictures are 161 x 39 px; at the smallest page the seven visible
    // buttons share its width.
    static constexpr int kMinButtonWidth = 120;

    CPageButtonRow(CAppServices& app, QWidget* parent);

    // The page being shown: an output channel (5, 3, 2, 4, 11) or the
    // sound-field, delay or compressor page (channel ignored).
    void setCurrent(PageKind kind, int channel = 0);
    // The highlighted button's id, 0 for none.
    int currentId() const { return currentId_; }

    // The button with control id `id` (1069..1076), null for another id.
    CGdipButton* button(int id) const;
    // What button `id` asks the shell for.
    static PageKind targetKind(int id);
    static int targetChannel(int id);
    // The id of the button that stands for a page (0 for none).
    static int idFor(PageKind kind, int channel);

  private:
    CAppServices& app_;
    std::array<CGdipButton*, kButtons> buttons_{};
    int currentId_ = 0;
};

}  // namespace v36
