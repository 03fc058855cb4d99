#pragma once

#include <QColor>
#include <QStringList>
#include <QTableWidget>
#include <vector>

namespace v36 {

// An editable list of rows: a hidden first column (table column 0), then the
// columns the host defines, each read-only, a drop-down list, a number edited
// in place, or free text. Rows carry their own text and background colours;
// selection is by whole rows. `cellEdited` tells the host that an edit ended
// with a new value; the host usually rewrites the row in its own format.
class CGridListCtrl : public QTableWidget {
    Q_OBJECT
  public:
    enum class ColumnKind { ReadOnly, DropDown, Number, Text };
    struct Column {
        QString title;
        int width = 60;
        ColumnKind kind = ColumnKind::ReadOnly;
        QStringList choices;  // drop-down columns
    };

    explicit CGridListCtrl(QWidget* parent = nullptr);

    void setControlId(int id) { controlId_ = id; }
    int controlId() const { return controlId_; }

    // The visible columns; `columns[i]` becomes table column i + 1.
    void setColumns(const std::vector<Column>& columns);
    // New titles and drop-down choices (a language switch); kinds and widths stay.
    void setColumnTitles(const QStringList& titles);
    void setChoices(int column, const QStringList& choices);
    const Column& columnTraits(int column) const;
    int visibleColumnCount() const { return static_cast<int>(columns_.size()); }

    void setRows(int count);
    void setCellText(int row, int column, const QString& text);
    QString cellText(int row, int column) const;

    void setRowColors(int row, QColor text, QColor background);
    void setAllRowColors(QColor text, QColor background);
    QColor rowTextColor(int row) const;
    QColor rowBackgroundColor(int row) const;

    // Locks one cell of an editable column: it is not edited, and `why`
    // shows as its tool tip. Unlocking clears the tip.
    void setCellLocked(int row, int column, bool locked, const QString& why = {});
    bool isCellLocked(int row, int column) const;

    // Opens the in-place editor of a cell; false for read-only, locked or
    // hidden cells.
    bool beginEdit(int row, int column);

    // The leading number of a cell text such as "+3.5dB" or "1000Hz" ("" if none).
    static QString leadingNumber(const QString& text);

  signals:
    void cellEdited(int row, int column, const QString& text);

  private:
    friend class GridListDelegate;
    void applyRowColors(int row);
    QTableWidgetItem* itemAt(int row, int column);

    int controlId_ = 0;
    std::vector<Column> columns_;
    std::vector<std::pair<QColor, QColor>> rowColours_;
    QColor defaultText_{Qt::white};
    QColor defaultBackground_{20, 20, 20};
};

}  // namespace v36
