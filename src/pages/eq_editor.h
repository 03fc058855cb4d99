#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <span>
#include <vector>

#include "app/edit_path.h"
#include "controls/grid_list.h"
#include "dsp/eq_model.h"
#include "protocol/eq_text.h"

class QBoxLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QStackedWidget;

namespace v36 {

class CAppServices;
class CEqPanel;
class CGdipButton;
class CXBmpSlider;

// The look of the band grid, which differs by page.
struct EqGridStyle {
    QColor rowText{0, 200, 255};
    QColor rowBackground{20, 20, 20};
    int typeColumnWidth = 55;
};

// The EQ editor of the music, effects and output pages: the EQ panel (1040),
// the band grid (1139) shown while no band is selected, and the band editor
// (type buttons 1204..1208 in group 1199, band number 1203, gain, frequency
// and Q sliders 1209..1211 with edit boxes 1212..1214 in groups 1201, 1200
// and 1202) shown while one is. Its controls carry those ids, so the page's
// template labels them. The page says which EQ it shows, the grid's look and
// any columns of its own; every band edit goes through the edit path as one
// step per gesture. Under the grid, "Import…", "Export…" and "Copy to…" move
// the EQ's bands to and from filter lists (text files of room-measurement
// programs and equalisers) and onto the other EQs of its size.
class CEqEditor : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kPanelId = 1040;
    static constexpr int kGridId = 1139;
    static constexpr int kTypeGroupId = 1199;
    static constexpr int kGainGroupId = 1201;
    static constexpr int kFrequencyGroupId = 1200;
    static constexpr int kQGroupId = 1202;
    static constexpr int kBandNumberId = 1203;
    static constexpr int kFirstTypeButtonId = 1204;  // PEQ; LP, HP, LS, HS follow
    static constexpr int kGainSliderId = 1209;
    static constexpr int kFrequencySliderId = 1210;
    static constexpr int kQSliderId = 1211;
    static constexpr int kGainEditId = 1212;
    static constexpr int kFrequencyEditId = 1213;
    static constexpr int kQEditId = 1214;
    // Grid columns (column 0 is hidden).
    static constexpr int kNumberColumn = 1;
    static constexpr int kTypeColumn = 2;
    static constexpr int kGainColumn = 3;
    static constexpr int kFrequencyColumn = 4;
    static constexpr int kQColumn = 5;

    // A column a page adds after Q: its traits, its text for a grid row
    // (a band the graph shows) and, for an editable column, what an edit does.
    struct ExtraColumn {
        CGridListCtrl::Column column;
        std::function<QString(int band)> text;
        std::function<void(int band, const QString& text)> edited;
    };

    CEqEditor(CAppServices& app, QWidget* parent = nullptr);

    // ---- what the page says -------------------------------------------------
    void setGridStyle(const EqGridStyle& style);
    void addExtraColumn(ExtraColumn column);
    // Shows EQ `eq` (0..11) and loads it from the store. Nothing is sent.
    void selectEq(int eq);
    int eq() const { return eq_; }
    // Reloads the bands, the grid and the bypass mark from the store; the
    // selection is cleared and the grid shown. Nothing is sent, no edit made.
    void RefreshFromStore();
    // The panel's language, the grid's titles and type names (the store is
    // not read again: the page reloads the editor with its own refresh).
    void ApplyLanguage();
    // A row under the grid for the page's own buttons (hidden while empty).
    QBoxLayout* buttonRow() const { return buttonRow_; }
    void showButtonRow();

    // ---- the host's EQ operations ----------------------------------------------
    // The bypass word of the shown EQ; the panel's mark follows it.
    bool isBypassed();
    // Inverts the bypass word: one edit.
    void toggleBypass();
    // Sends the EQ's default set as one edit (wrapped in a music mute where
    // the EQ model says so), then shows the grid with the reloaded bands.
    void reset();

    // ---- edits for the pages' own controls -----------------------------------------
    int selectedBand() const { return selected_; }
    // Gives the selected subwoofer point the crossover family (0..10), one edit.
    void applyCrossoverFamily(int family) { applyCrossoverFamily(family, selected_); }
    // The same for point `point` (a row clicked in the grid, say).
    void applyCrossoverFamily(int family, int point);
    // Takes `after` (the shown EQ changed elsewhere: an import, a copy) as the
    // working copy and sends `bands` of it as one edit named `text`.
    void applyBands(const EqGraphModel& after, std::span<const int> bands, const EditText& text);
    // The working copy as shown.
    const EqGraphModel& model() const;

    // ---- filter lists and copies -----------------------------------------------------
    // Asks for a filter list, shows what importing it would do and, on OK,
    // sends the bands that change as one edit. A file that gives the EQ no
    // filter shows why and nothing else.
    void importFile();
    // Asks for a file name and writes the EQ's bands as a filter list; the
    // bands the format cannot express are listed.
    void exportFile();
    // Every line of a filter list but the blank ones, what became of it and
    // why, one entry a line (the details of a file that gives no filter).
    static QString lineReport(const EqTextParse& parsed, const EqTextImport& fitted, int language);
    // The EQs the shown one can be copied onto: the others of its size.
    std::vector<int> copyTargets() const;
    // Copies the shown EQ onto `target` as one edit, under the target's
    // rules (its locked bands take only the gain); the page reloads.
    void copyTo(int target);

    // ---- parts ---------------------------------------------------------------------
    CEqPanel* panel() const { return panel_; }
    CGridListCtrl* grid() const { return grid_; }
    QWidget* bandEditor() const { return editor_; }
    bool bandEditorShown() const;
    QRadioButton* typeButton(int type) const;  // 1..5
    CXBmpSlider* gainSlider() const;
    CXBmpSlider* frequencySlider() const;
    CXBmpSlider* qSlider() const;
    QLineEdit* gainEdit() const { return gainEdit_; }
    QLineEdit* frequencyEdit() const { return frequencyEdit_; }
    QLineEdit* qEdit() const { return qEdit_; }
    QLabel* bandNumberLabel() const { return bandNumber_; }
    CGdipButton* importButton() const { return importButton_; }
    CGdipButton* exportButton() const { return exportButton_; }
    CGdipButton* copyButton() const { return copyButton_; }
    // The list of targets "Copy to…" opens (filled while it is open).
    QMenu* copyMenu() const { return copyMenu_; }

    // The grid's name of a type code: 0..5 named, others as the number.
    static QString typeName(int type, int language);

  signals:
    // A band was hit or changed on the panel, or edited in the band editor.
    void bandSelected(int band);
    // The panel's selection was cleared: the grid is shown again.
    void selectionCleared();
    // A click on a grid row (a band the graph shows).
    void gridRowClicked(int band);
    // A cell of the band's grid row was edited.
    void gridBandEdited(int band);

  private:
    void buildGrid();
    void buildBandEditor();
    void buildFileButtons(QBoxLayout* column);
    void openCopyMenu();
    // "Copy to…" is offered where the EQ has others of its size.
    void updateCopyButton();
    // A message box in the language; `lines` joined one a line.
    void tell(QMessageBox::Icon icon, const QString& caption, const QStringList& lines);
    void fitGridWidth();
    void loadFromStore();
    void writeGridRow(int band);
    void writeGridRows();
    void showBand(int band);
    void showGrid();
    // The band's type as the grid and the type buttons show it.
    int shownType(int band) const;
    // Sends band `band` as the panel holds it, when it differs from what the
    // unit was last given; `mergeKey` joins a gesture's steps.
    void commit(int band, const QString& mergeKey);
    QString mergeKey(int band) const;
    void rememberSent();

    void onPanelBand(int band);
    void onPanelCleared();
    void onTypeButton(int type);
    void onSlider(int controlId, int position);
    void applyEdits(const QString& mergeKey);
    void onGridEdited(int row, int column, const QString& text);

    CAppServices& app_;
    int eq_ = kEqMicA;
    int selected_ = -1;
    bool loading_ = false;
    EqGridStyle style_;
    std::vector<ExtraColumn> extras_;
    // What each shown band's sections were when last loaded or sent.
    std::vector<std::vector<SectionSetting>> sent_;

    CEqPanel* panel_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    CGridListCtrl* grid_ = nullptr;
    QWidget* editor_ = nullptr;
    QGroupBox* typeGroup_ = nullptr;
    std::array<QRadioButton*, 5> typeButtons_{};
    QLabel* bandNumber_ = nullptr;
    std::array<QWidget*, 3> sliderColumns_{};
    QLineEdit* gainEdit_ = nullptr;
    QLineEdit* frequencyEdit_ = nullptr;
    QLineEdit* qEdit_ = nullptr;
    QBoxLayout* buttonRow_ = nullptr;
    CGdipButton* importButton_ = nullptr;
    CGdipButton* exportButton_ = nullptr;
    CGdipButton* copyButton_ = nullptr;
    QMenu* copyMenu_ = nullptr;
};

}  // namespace v36
