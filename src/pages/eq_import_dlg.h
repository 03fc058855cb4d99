#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <vector>

#include "dsp/eq_model.h"
#include "protocol/eq_text.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace v36 {

class CAppServices;
class CEqPanel;
class CGdipButton;

// The preview of a filter list about to be imported onto the EQ shown: every
// line of the file with the band it becomes and what was changed on the way,
// the file's own notes (preamp, dropped filters, flat bands), a choice of the
// Channel section when the file has several (a choice fits the file again),
// and the EQ after the import drawn over the EQ as it is. Nothing is sent
// here: the caller sends the changed bands once the dialog is accepted.
class CEqImportDlg : public QDialog {
    Q_OBJECT

  public:
    // Columns of the line table.
    static constexpr int kLineColumn = 0;
    static constexpr int kSourceColumn = 1;
    static constexpr int kBandColumn = 2;
    static constexpr int kResultColumn = 3;
    static constexpr int kNotesColumn = 4;

    // `current` is the EQ as shown (its number, bands and curves).
    CEqImportDlg(CAppServices& app, const QString& fileName, EqTextParse parsed,
                 const EqGraphModel& current, QWidget* parent = nullptr);

    const EqTextParse& parsed() const { return parsed_; }
    // The fit of the file with the Channel section chosen; errors when it
    // gives the EQ nothing. A file of several sections starts on the first
    // section that gives it a filter.
    const EqTextImport& result() const { return import_; }
    // The section chosen; none for a file without sections.
    std::optional<int> channel() const;
    // The bands that OK would change, in order.
    const std::vector<int>& changedBands() const { return changed_; }

    // Fits the file again with section `index` (the Channel list does this).
    void selectChannel(int index);

    // The table row of each parsed line (-1 for a blank line).
    int rowOfLine(int line) const;
    QTableWidget* lineTable() const { return table_; }
    QComboBox* channelList() const { return channels_; }
    CEqPanel* curvePanel() const { return panel_; }
    QLabel* notesLabel() const { return notes_; }
    CGdipButton* okButton() const { return ok_; }
    CGdipButton* cancelButton() const { return cancel_; }

    // How often the dialog looks whether the unit came or went.
    static constexpr int kConnectionCheckMs = 300;
    // What OK does with `count` changed bands, with or without a unit.
    static QString okText(int count, bool connected, int language);

    // The name of a line's fate in the table ("Band 3", "Skipped", ...).
    static QString fateText(const EqTextLine& line, const EqTextLineFate& fate, int language);

  private:
    void fit(std::optional<int> channel);
    void fillTable();
    void showResult();
    // The values band `band` takes, as the band grid writes them.
    QString bandValues(int band) const;

    CAppServices& app_;
    int language_;
    EqTextParse parsed_;
    EqGraphModel current_;
    EqTextImport import_;
    std::vector<int> changed_;
    std::vector<int> rows_;  // table row of each parsed line
    bool shownConnected_ = false;

    QLabel* file_ = nullptr;
    QLabel* channelCaption_ = nullptr;
    QComboBox* channels_ = nullptr;
    QLabel* preamp_ = nullptr;
    CEqPanel* panel_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* notes_ = nullptr;
    CGdipButton* ok_ = nullptr;
    CGdipButton* cancel_ = nullptr;
};

}  // namespace v36
