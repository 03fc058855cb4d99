#include "controls/grid_list.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>

namespace v36 {

namespace {
// Marks a cell of an editable column that may not be edited.
constexpr int kLockedRole = Qt::UserRole + 1;
}  // namespace

class GridListDelegate : public QStyledItemDelegate {
  public:
    explicit GridListDelegate(CGridListCtrl* owner) : QStyledItemDelegate(owner), owner_(owner) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        const int column = index.column();
        if (column < 1 || column > owner_->visibleColumnCount()) return nullptr;
        const CGridListCtrl::Column& traits = owner_->columnTraits(column);
        switch (traits.kind) {
            case CGridListCtrl::ColumnKind::ReadOnly:
                return nullptr;
            case CGridListCtrl::ColumnKind::DropDown: {
                auto* combo = new QComboBox(parent);
                combo->addItems(traits.choices);
                // A choice ends the edit at once.
                connect(combo, &QComboBox::activated, combo, [this, combo](int) {
                    auto* self = const_cast<GridListDelegate*>(this);
                    emit self->commitData(combo);
                    emit self->closeEditor(combo);
                });
                return combo;
            }
            case CGridListCtrl::ColumnKind::Number: {
                auto* edit = new QLineEdit(parent);
                static const QRegularExpression kNumber(QStringLiteral(R"([+-]?\d*\.?\d*)"));
                edit->setValidator(new QRegularExpressionValidator(kNumber, edit));
                return edit;
            }
            case CGridListCtrl::ColumnKind::Text:
                return new QLineEdit(parent);
        }
        return nullptr;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentIndex(std::max(0, combo->findText(text)));
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            const bool number =
                owner_->columnTraits(index.column()).kind == CGridListCtrl::ColumnKind::Number;
            edit->setText(number ? CGridListCtrl::leadingNumber(text) : text);
            edit->selectAll();
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        QString text;
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            text = combo->currentText();
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            text = edit->text().trimmed();
        } else {
            return;
        }
        model->setData(index, text, Qt::DisplayRole);
        emit owner_->cellEdited(index.row(), index.column(), text);
    }

  private:
    CGridListCtrl* owner_;
};

CGridListCtrl::CGridListCtrl(QWidget* parent) : QTableWidget(parent) {
    setItemDelegate(new GridListDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    setShowGrid(true);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    setColumnCount(1);
    setColumnHidden(0, true);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, defaultBackground_);
    pal.setColor(QPalette::Text, defaultText_);
    pal.setColor(QPalette::Window, defaultBackground_);
    setPalette(pal);
}

void CGridListCtrl::setColumns(const std::vector<Column>& columns) {
    columns_ = columns;
    setColumnCount(static_cast<int>(columns_.size()) + 1);
    setColumnHidden(0, true);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const int c = static_cast<int>(i) + 1;
        setHorizontalHeaderItem(c, new QTableWidgetItem(columns_[i].title));
        setColumnWidth(c, columns_[i].width);
    }
    for (int r = 0; r < rowCount(); ++r)
        applyRowColors(r);
}

void CGridListCtrl::setColumnTitles(const QStringList& titles) {
    for (int i = 0; i < titles.size() && i < visibleColumnCount(); ++i) {
        columns_[static_cast<std::size_t>(i)].title = titles[i];
        setHorizontalHeaderItem(i + 1, new QTableWidgetItem(titles[i]));
    }
}

void CGridListCtrl::setChoices(int column, const QStringList& choices) {
    if (column < 1 || column > visibleColumnCount()) return;
    columns_[static_cast<std::size_t>(column - 1)].choices = choices;
}

const CGridListCtrl::Column& CGridListCtrl::columnTraits(int column) const {
    static const Column kHidden{};
    if (column < 1 || column > visibleColumnCount()) return kHidden;
    return columns_[static_cast<std::size_t>(column - 1)];
}

void CGridListCtrl::setRows(int count) {
    setRowCount(std::max(0, count));
    rowColours_.resize(static_cast<std::size_t>(rowCount()), {defaultText_, defaultBackground_});
    for (int r = 0; r < rowCount(); ++r)
        applyRowColors(r);
}

QTableWidgetItem* CGridListCtrl::itemAt(int row, int column) {
    QTableWidgetItem* it = item(row, column);
    if (it == nullptr) {
        it = new QTableWidgetItem();
        setItem(row, column, it);
    }
    return it;
}

void CGridListCtrl::setCellText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return;
    QTableWidgetItem* it = itemAt(row, column);
    it->setText(text);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (columnTraits(column).kind != ColumnKind::ReadOnly && column > 0 &&
        !it->data(kLockedRole).toBool())
        flags |= Qt::ItemIsEditable;
    it->setFlags(flags);
    const auto& colours = rowColours_[static_cast<std::size_t>(row)];
    it->setForeground(colours.first);
    it->setBackground(colours.second);
}

QString CGridListCtrl::cellText(int row, int column) const {
    const QTableWidgetItem* it = item(row, column);
    return it != nullptr ? it->text() : QString();
}

void CGridListCtrl::applyRowColors(int row) {
    if (row < 0 || row >= rowCount()) return;
    if (static_cast<std::size_t>(row) >= rowColours_.size())
        rowColours_.resize(static_cast<std::size_t>(row) + 1, {defaultText_, defaultBackground_});
    for (int c = 0; c < columnCount(); ++c) {
        const QString text = cellText(row, c);
        setCellText(row, c, text);
    }
}

void CGridListCtrl::setRowColors(int row, QColor text, QColor background) {
    if (row < 0 || row >= rowCount()) return;
    rowColours_[static_cast<std::size_t>(row)] = {text, background};
    applyRowColors(row);
}

void CGridListCtrl::setAllRowColors(QColor text, QColor background) {
    defaultText_ = text;
    defaultBackground_ = background;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, background);
    pal.setColor(QPalette::Text, text);
    setPalette(pal);
    for (int r = 0; r < rowCount(); ++r)
        setRowColors(r, text, background);
}

QColor CGridListCtrl::rowTextColor(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rowColours_.size()) return defaultText_;
    return rowColours_[static_cast<std::size_t>(row)].first;
}

QColor CGridListCtrl::rowBackgroundColor(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rowColours_.size()) return defaultBackground_;
    return rowColours_[static_cast<std::size_t>(row)].second;
}

void CGridListCtrl::setCellLocked(int row, int column, bool locked, const QString& why) {
    if (row < 0 || row >= rowCount() || column < 1 || column >= columnCount()) return;
    QTableWidgetItem* it = itemAt(row, column);
    if (it->data(kLockedRole).toBool() == locked && it->toolTip() == (locked ? why : QString()))
        return;
    it->setData(kLockedRole, locked);
    it->setToolTip(locked ? why : QString());
    setCellText(row, column, it->text());
}

bool CGridListCtrl::isCellLocked(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 1 || column >= columnCount()) return false;
    const QTableWidgetItem* it = item(row, column);
    return it != nullptr && it->data(kLockedRole).toBool();
}

bool CGridListCtrl::beginEdit(int row, int column) {
    if (row < 0 || row >= rowCount() || column < 1 || column >= columnCount()) return false;
    if (columnTraits(column).kind == ColumnKind::ReadOnly) return false;
    if (isCellLocked(row, column)) return false;
    QTableWidgetItem* it = itemAt(row, column);
    if ((it->flags() & Qt::ItemIsEditable) == 0) setCellText(row, column, it->text());
    setCurrentCell(row, column);
    editItem(it);
    return state() == QAbstractItemView::EditingState;
}

QString CGridListCtrl::leadingNumber(const QString& text) {
    static const QRegularExpression kLeading(QStringLiteral(R"(^\s*([+-]?(\d+\.?\d*|\.\d+)))"));
    const QRegularExpressionMatch m = kLeading.match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

}  // namespace v36
