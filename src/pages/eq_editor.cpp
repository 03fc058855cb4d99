#include "pages/eq_editor.h"
#include "app/file_path.h"

#include <QBoxLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <algorithm>
#include <cmath>

#include "app/page.h"
#include "context/device_context.h"
#include "controls/bmp_slider.h"
#include "controls/control_fonts.h"
#include "controls/eq_panel.h"
#include "controls/image_button.h"
#include "pages/eq_import_dlg.h"
#include "pages/page_support.h"
#include "pages/tool_dialog_parts.h"
#include "protocol/eq_access.h"
#include "protocol/eq_text.h"
#include "protocol/mode_file.h"

namespace v36 {

namespace {

struct TypeText {
    const char* zh;
    const char* en;
};
// Type codes 0..5 as the grid names them.
constexpr std::array<TypeText, 6> kTypeNames{{{"关闭", "OFF"},
                                              {"参量", "PEQ"},
                                              {"低通", "LP"},
                                              {"高通", "HP"},
                                              {"低架", "LS"},
                                              {"高架", "HS"}}};

// Gain, frequency and Q sliders: tenths of a decibel, hertz, hundredths.
constexpr int kGainSliderMin = -150;
constexpr int kGainSliderMax = 150;
constexpr int kFrequencySliderMin = 20;
constexpr int kFrequencySliderMax = 20000;
constexpr int kQSliderMin = 10;
constexpr int kQSliderMaxPeq = 3000;
constexpr int kQSliderMaxOther = 200;

constexpr int kEditWidth = 64;
constexpr int kMaxEditorHeight = 420;

float leadingNumber(const QString& text) {
    return CGridListCtrl::leadingNumber(text).toFloat();
}

QString frequencyText(int hz) {
    return QStringLiteral("%1Hz").arg(hz);
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QString utf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString title(int eq, int language) {
    return utf8(eqTitle(eq, language));
}

// The file dialogs' filter of filter lists.
QString filterListFilter(int language) {
    return pick(language, "滤波器列表 (*.txt);;所有文件 (*)",
                "Filter lists (*.txt);;All files (*)");
}

QStringList noteTexts(const std::vector<EqTextNote>& notes, int language) {
    QStringList out;
    for (const EqTextNote& n : notes)
        out << utf8(n.textFor(language));
    return out;
}

}  // namespace

CEqEditor::CEqEditor(CAppServices& app, QWidget* parent) : QWidget(parent), app_(app) {
    panel_ = new CEqPanel(this);
    setControlId(panel_, kPanelId);
    panel_->setMinimumSize(360, 200);
    panel_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    stack_ = new QStackedWidget(this);
    buildGrid();
    buildBandEditor();
    stack_->addWidget(grid_);
    stack_->addWidget(editor_);

    auto* buttons = new QWidget(this);
    buttonRow_ = new QHBoxLayout(buttons);
    buttonRow_->setContentsMargins(0, 0, 0, 0);
    buttonRow_->setSpacing(4);
    buttons->hide();

    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(4);
    right->addWidget(stack_, 1);
    right->addWidget(buttons);
    buildFileButtons(right);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(panel_, 1);
    row->addLayout(right);

    connect(panel_, &CEqPanel::bandChanged, this,
            [this](int band, const EqBand&) { onPanelBand(band); });
    connect(panel_, &CEqPanel::selectionCleared, this, &CEqEditor::onPanelCleared);
    panel_->setEqNumber(eq_);
    panel_->setBandCount(eqBandCount(eq_));
    grid_->setAllRowColors(style_.rowText, style_.rowBackground);
    ApplyLanguage();
}

// ---------------------------------------------------------------------------
// Building

void CEqEditor::buildGrid() {
    grid_ = new CGridListCtrl(this);
    grid_->setControlId(kGridId);
    setControlId(grid_, kGridId);
    grid_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    grid_->setMinimumHeight(120);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(grid_, &CGridListCtrl::cellEdited, this, &CEqEditor::onGridEdited);
    connect(grid_, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (row >= 0 && row < eqPointCount(eq_)) emit gridRowClicked(row);
    });
}

void CEqEditor::buildBandEditor() {
    editor_ = new QWidget(this);
    auto* row = new QHBoxLayout(editor_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);

    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    typeGroup_ = new QGroupBox(editor_);
    setControlId(typeGroup_, kTypeGroupId);
    auto* types = new QVBoxLayout(typeGroup_);
    types->setContentsMargins(6, 4, 4, 4);
    types->setSpacing(2);
    for (int k = 0; k < 5; ++k) {
        auto* b = new QRadioButton(typeGroup_);
        // Checked by the band shown; a click always sets the type.
        b->setAutoExclusive(false);
        setControlId(b, kFirstTypeButtonId + k);
        b->setText(utf8(kTypeNames[static_cast<std::size_t>(k + 1)].en));
        connect(b, &QRadioButton::clicked, this, [this, k] { onTypeButton(k + 1); });
        typeButtons_[static_cast<std::size_t>(k)] = b;
        types->addWidget(b);
    }
    left->addWidget(typeGroup_);
    bandNumber_ = new QLabel(editor_);
    setControlId(bandNumber_, kBandNumberId);
    bandNumber_->setFont(controlFont(FontRole::Latin, 24, QFont::Bold));
    QPalette green = bandNumber_->palette();
    green.setColor(QPalette::WindowText, QColor(20, 200, 20));
    bandNumber_->setPalette(green);
    bandNumber_->setAlignment(Qt::AlignCenter);
    left->addWidget(bandNumber_);
    left->addStretch(1);
    typeGroup_->setMaximumHeight(kMaxEditorHeight);
    row->addLayout(left);

    const struct {
        int group, slider, edit;
        QLineEdit** out;
    } columns[] = {{kGainGroupId, kGainSliderId, kGainEditId, &gainEdit_},
                   {kFrequencyGroupId, kFrequencySliderId, kFrequencyEditId, &frequencyEdit_},
                   {kQGroupId, kQSliderId, kQEditId, &qEdit_}};
    for (std::size_t i = 0; i < 3; ++i) {
        auto* group = new QGroupBox(editor_);
        setControlId(group, columns[i].group);
        auto* v = new QVBoxLayout(group);
        v->setContentsMargins(4, 4, 4, 4);
        v->setSpacing(4);
        auto* column = new CSliderColumn(columns[i].slider, group);
        sliderColumns_[i] = column;
        v->addWidget(column, 1, Qt::AlignHCenter);
        auto* edit = new QLineEdit(group);
        setControlId(edit, columns[i].edit);
        edit->setFixedWidth(kEditWidth);
        edit->setAlignment(Qt::AlignCenter);
        v->addWidget(edit, 0, Qt::AlignHCenter);
        *columns[i].out = edit;
        // On a tall page the sliders stay a hand's travel long.
        group->setMaximumHeight(kMaxEditorHeight);
        row->addWidget(group, 0, Qt::AlignTop);
        connect(column->slider(), &CXBmpSlider::sliderChanged, this, &CEqEditor::onSlider);
        connect(edit, &QLineEdit::returnPressed, this, [this] { applyEdits(mergeKey(selected_)); });
    }
    gainSlider()->setRange(kGainSliderMin, kGainSliderMax);
    frequencySlider()->setRange(kFrequencySliderMin, kFrequencySliderMax);
    qSlider()->setRange(kQSliderMin, kQSliderMaxPeq);
}

void CEqEditor::setGridStyle(const EqGridStyle& style) {
    const EqGridStyle old = style_;
    style_ = style;
    if (style.typeColumnWidth != old.typeColumnWidth) ApplyLanguage();
    if (style.rowText != old.rowText || style.rowBackground != old.rowBackground)
        grid_->setAllRowColors(style_.rowText, style_.rowBackground);
}

// The grid is as wide as its columns; the band editor takes its place.
void CEqEditor::fitGridWidth() {
    // The band editor stays hidden until a band is chosen, and a hidden
    // widget's nested layouts keep what they measured before its captions
    // were set: they measure again now, so that showing it moves nothing.
    for (QLayout* l : editor_->findChildren<QLayout*>())
        l->invalidate();
    int width = 2 * grid_->frameWidth() + grid_->verticalScrollBar()->sizeHint().width();
    for (int c = 1; c < grid_->columnCount(); ++c)
        width += grid_->columnWidth(c);
    grid_->setFixedWidth(width);
    stack_->setFixedWidth(std::max(width, editor_->minimumSizeHint().width()));
}

void CEqEditor::addExtraColumn(ExtraColumn column) {
    extras_.push_back(std::move(column));
    ApplyLanguage();
}

void CEqEditor::showButtonRow() {
    buttonRow_->parentWidget()->setVisible(buttonRow_->count() > 0);
}

CXBmpSlider* CEqEditor::gainSlider() const {
    return static_cast<CSliderColumn*>(sliderColumns_[0])->slider();
}

CXBmpSlider* CEqEditor::frequencySlider() const {
    return static_cast<CSliderColumn*>(sliderColumns_[1])->slider();
}

CXBmpSlider* CEqEditor::qSlider() const {
    return static_cast<CSliderColumn*>(sliderColumns_[2])->slider();
}

QRadioButton* CEqEditor::typeButton(int type) const {
    if (type < 1 || type > 5) return nullptr;
    return typeButtons_[static_cast<std::size_t>(type - 1)];
}

bool CEqEditor::bandEditorShown() const {
    return stack_->currentWidget() == editor_;
}

const EqGraphModel& CEqEditor::model() const {
    return panel_->model();
}

QString CEqEditor::typeName(int type, int language) {
    if (type < 0 || type > 5) return QString::number(type);
    const TypeText& t = kTypeNames[static_cast<std::size_t>(type)];
    return pick(language, t.zh, t.en);
}

// ---------------------------------------------------------------------------
// Loading

void CEqEditor::selectEq(int eq) {
    if (!isEqNumber(eq)) return;
    eq_ = eq;
    RefreshFromStore();
    updateCopyButton();
}

void CEqEditor::ApplyLanguage() {
    const int lang = app_.languageIndex();
    panel_->setLanguage(lang);
    // The widths of the band grid, or wider where the font needs it for the
    // widest value.
    const QString typeTitle = pick(lang, "类型", "Type");
    QStringList types{typeTitle};
    for (int t = 0; t <= 5; ++t)
        types << typeName(t, lang);
    std::vector<CGridListCtrl::Column> columns{
        {QString(),
         fitColumnWidth(grid_, 30, {QStringLiteral("40")}),
         CGridListCtrl::ColumnKind::ReadOnly,
         {}},
        {typeTitle,
         fitColumnWidth(grid_, style_.typeColumnWidth, types),
         CGridListCtrl::ColumnKind::DropDown,
         {}},
        {pick(lang, "增益", "Gain"),
         fitColumnWidth(grid_, 60, {pick(lang, "增益", "Gain"), QStringLiteral("+15.0dB")}),
         CGridListCtrl::ColumnKind::Number,
         {}},
        {pick(lang, "频率", "Freq"),
         fitColumnWidth(grid_, 60, {pick(lang, "频率", "Freq"), QStringLiteral("20000Hz")}),
         CGridListCtrl::ColumnKind::Number,
         {}},
        {pick(lang, "Q值", "Q"),
         fitColumnWidth(grid_, 50, {pick(lang, "Q值", "Q"), QStringLiteral("30.00")}),
         CGridListCtrl::ColumnKind::Number,
         {}},
    };
    for (int t = 1; t <= 5; ++t)
        columns[1].choices << typeName(t, lang);
    for (const ExtraColumn& extra : extras_)
        columns.push_back(extra.column);
    grid_->setColumns(columns);
    fitGridWidth();
    writeGridRows();
    importButton_->setCaption(pick(lang, "导入…", "Import…"));
    exportButton_->setCaption(pick(lang, "导出…", "Export…"));
    copyButton_->setCaption(pick(lang, "复制到…", "Copy to…"));
    for (CGdipButton* b : {importButton_, exportButton_, copyButton_})
        b->setMinimumWidth(b->minimumSizeHint().width());
    updateCopyButton();
}

void CEqEditor::RefreshFromStore() {
    loadFromStore();
}

void CEqEditor::loadFromStore() {
    loading_ = true;
    const ParamStore& store = app_.device().store;
    panel_->setEqNumber(eq_);
    loadEqFromStore(store, panel_->model(), eq_);
    panel_->clearSelection();
    panel_->setBypass(isEqBypassed(store, eq_));
    if (grid_->rowCount() != eqPointCount(eq_)) grid_->setRows(eqPointCount(eq_));
    writeGridRows();
    // No row stays marked from the EQ's earlier bands (a reset, another EQ).
    grid_->clearSelection();
    grid_->setCurrentCell(-1, -1);
    rememberSent();
    loading_ = false;
    selected_ = -1;
    showGrid();
}

void CEqEditor::rememberSent() {
    const int points = eqPointCount(eq_);
    sent_.assign(static_cast<std::size_t>(points), {});
    for (int b = 0; b < points; ++b)
        sent_[static_cast<std::size_t>(b)] = bandSections(eq_, panel_->model().bands(), b);
}

int CEqEditor::shownType(int band) const {
    const EqGraphModel& m = panel_->model();
    if (eq_ == kEqSub && band >= 0 && band < kSubPoints)
        return classifySubPoint(subPointTypes(m.bands(), band)).shownType;
    return m.band(band).type;
}

void CEqEditor::writeGridRow(int band) {
    if (band < 0 || band >= grid_->rowCount()) return;
    const int lang = app_.languageIndex();
    const EqBand& b = panel_->model().band(band);
    grid_->setCellText(band, kNumberColumn, qs(formatBandNumber(band)));
    grid_->setCellText(band, kTypeColumn, typeName(shownType(band), lang));
    grid_->setCellText(band, kGainColumn, qs(formatGain(b.gain)));
    grid_->setCellText(band, kFrequencyColumn, qs(formatFrequency(b.freq)));
    grid_->setCellText(band, kQColumn, qs(formatQ(b.q)));
    // A locked band offers only its gain; the other cells say why.
    const bool locked = isLockedBand(eq_, band);
    const QString why =
        pick(lang, "此频段已锁定：只可调节增益", "A locked band: only its gain changes");
    for (const int column : {kTypeColumn, kFrequencyColumn, kQColumn})
        grid_->setCellLocked(band, column, locked, why);
    for (std::size_t i = 0; i < extras_.size(); ++i) {
        if (extras_[i].text)
            grid_->setCellText(band, kQColumn + 1 + static_cast<int>(i), extras_[i].text(band));
    }
}

void CEqEditor::writeGridRows() {
    for (int b = 0; b < grid_->rowCount(); ++b)
        writeGridRow(b);
}

void CEqEditor::showGrid() {
    stack_->setCurrentWidget(grid_);
}

// The band editor shows band `band`: its values in the edit boxes and on the
// sliders, its type on the buttons; the gain only for types that have one,
// and on a locked band nothing but the gain.
void CEqEditor::showBand(int band) {
    const bool wasLoading = loading_;
    loading_ = true;
    const EqBand& b = panel_->model().band(band);
    gainEdit_->setText(qs(formatGain(b.gain)));
    gainSlider()->setPosition(static_cast<int>(std::lround(b.gain * 10.0f)));
    frequencyEdit_->setText(qs(formatFrequency(b.freq)));
    frequencySlider()->setPosition(static_cast<int>(std::lround(b.freq)));
    qSlider()->setRange(kQSliderMin, b.type == kPeq ? kQSliderMaxPeq : kQSliderMaxOther);
    qSlider()->setPosition(static_cast<int>(std::lround(b.q * 100.0f)));
    qEdit_->setText(qs(formatQ(b.q)));
    bandNumber_->setText(QString::number(band + 1));
    const int type = shownType(band);
    for (int k = 1; k <= 5; ++k)
        typeButton(k)->setChecked(k == type);
    const bool gain = hasGain(b.type);
    gainSlider()->setEnabled(gain);
    gainEdit_->setEnabled(gain);
    const bool free = !isLockedBand(eq_, band);
    typeGroup_->setEnabled(free);
    frequencySlider()->setEnabled(free);
    frequencyEdit_->setEnabled(free);
    qSlider()->setEnabled(free);
    qEdit_->setEnabled(free);
    loading_ = wasLoading;
}

// ---------------------------------------------------------------------------
// Editing

QString CEqEditor::mergeKey(int band) const {
    return QString::fromStdString(bandMergeKey(eq_, band));
}

void CEqEditor::commit(int band, const QString& key) {
    if (band < 0 || static_cast<std::size_t>(band) >= sent_.size()) return;
    const std::span<const EqBand> bands = panel_->model().bands();
    std::vector<SectionSetting> now = bandSections(eq_, bands, band);
    std::vector<SectionSetting>& known = sent_[static_cast<std::size_t>(band)];
    // A hit or a release that changed nothing makes no step.
    if (now.empty() || now == known) return;
    Edit edit = bandEdit(eq_, bands, band);
    edit.merging(key.toStdString());
    app_.edits().apply(std::move(edit));
    known = std::move(now);
}

void CEqEditor::onPanelBand(int band) {
    if (loading_ || band < 0 || band >= eqPointCount(eq_)) return;
    const bool wasNone = selected_ < 0;
    selected_ = band;
    showBand(band);
    writeGridRow(band);
    if (QTableWidgetItem* item = grid_->item(band, kNumberColumn)) grid_->scrollToItem(item);
    commit(band, mergeKey(band));
    if (wasNone) stack_->setCurrentWidget(editor_);
    emit bandSelected(band);
}

void CEqEditor::onPanelCleared() {
    selected_ = -1;
    showGrid();
    emit selectionCleared();
}

void CEqEditor::onTypeButton(int type) {
    qSlider()->setRange(kQSliderMin, type == kPeq ? kQSliderMaxPeq : kQSliderMaxOther);
    if (selected_ < 0 || isLockedBand(eq_, selected_)) {
        for (int k = 1; k <= 5; ++k)
            typeButton(k)->setChecked(k == type);
        return;
    }
    panel_->setType(selected_, type);
    commit(selected_, QString());
    showBand(selected_);
    writeGridRow(selected_);
    emit bandSelected(selected_);
}

void CEqEditor::onSlider(int controlId, int position) {
    if (loading_ || selected_ < 0) return;
    switch (controlId) {
        case kGainSliderId:
            gainEdit_->setText(qs(formatGain(static_cast<float>(position) / 10.0f)));
            applyEdits(mergeKey(selected_));
            break;
        case kFrequencySliderId:
            frequencyEdit_->setText(frequencyText(position));
            applyEdits(mergeKey(selected_));
            break;
        case kQSliderId:
            qEdit_->setText(qs(formatQ(static_cast<float>(position) / 100.0f)));
            applyEdits(mergeKey(selected_));
            break;
        default:
            break;
    }
}

// The band takes every edit box whose text no longer reads as its value:
// the one a slider just wrote and whatever the user typed. The others keep
// the band's exact values (a dragged frequency is not rounded to the hertz).
void CEqEditor::applyEdits(const QString& key) {
    const int band = selected_;
    if (band < 0) return;
    const EqBand& b = panel_->model().band(band);
    if (gainEdit_->isEnabled() && gainEdit_->text() != qs(formatGain(b.gain)))
        panel_->setGain(band, leadingNumber(gainEdit_->text()));
    if (frequencyEdit_->isEnabled() && frequencyEdit_->text() != qs(formatFrequency(b.freq))) {
        const float freq = std::clamp(leadingNumber(frequencyEdit_->text()),
                                      static_cast<float>(kFrequencySliderMin),
                                      static_cast<float>(kFrequencySliderMax));
        panel_->setFrequency(band, freq);
    }
    if (qEdit_->isEnabled() && qEdit_->text() != qs(formatQ(b.q)))
        panel_->setQ(band, leadingNumber(qEdit_->text()));
    showBand(band);
    writeGridRow(band);
    commit(band, key);
    emit bandSelected(band);
}

void CEqEditor::onGridEdited(int row, int column, const QString& text) {
    if (loading_ || row < 0 || row >= eqPointCount(eq_)) return;
    const bool locked = isLockedBand(eq_, row);
    switch (column) {
        case kTypeColumn: {
            const int lang = app_.languageIndex();
            int type = 0;
            for (int t = 1; t <= 5; ++t) {
                if (text == typeName(t, lang)) type = t;
            }
            if (type != 0 && !locked && type != shownType(row)) panel_->setType(row, type);
            break;
        }
        case kGainColumn:
            panel_->setGain(row, leadingNumber(text));
            break;
        case kFrequencyColumn: {
            const float freq = leadingNumber(text);
            if (freq != 0.0f && !locked)
                panel_->setFrequency(row, std::clamp(freq, static_cast<float>(kFrequencySliderMin),
                                                     static_cast<float>(kFrequencySliderMax)));
            break;
        }
        case kQColumn:
            panel_->setQ(row, leadingNumber(text));
            break;
        default: {
            const auto extra = static_cast<std::size_t>(column - kQColumn - 1);
            if (column > kQColumn && extra < extras_.size() && extras_[extra].edited)
                extras_[extra].edited(row, text);
            break;
        }
    }
    commit(row, QString());
    writeGridRow(row);
    if (row == selected_) showBand(row);
    emit gridBandEdited(row);
}

void CEqEditor::applyCrossoverFamily(int family, int point) {
    if (eq_ != kEqSub || point < 0 || point >= kSubPoints) return;
    panel_->applyCrossoverFamily(point, family);
    commit(point, QString());
    if (point == selected_) showBand(point);
    writeGridRow(point);
}

void CEqEditor::applyBands(const EqGraphModel& after, std::span<const int> bands,
                           const EditText& text) {
    if (after.eqNumber() != eq_ || after.bandCount() != panel_->model().bandCount()) return;
    EqGraphModel& m = panel_->model();
    for (int n = 0; n < m.bandCount(); ++n) {
        EqBand& to = m.band(n);
        const EqBand& from = after.band(n);
        to.type = from.type;
        to.freq = from.freq;
        to.gain = from.gain;
        to.q = from.q;
    }
    panel_->recomputeAll();
    app_.edits().apply(bandsEdit(eq_, m.bands(), bands, text));
    rememberSent();
    writeGridRows();
    if (selected_ >= 0) showBand(selected_);
}

// ---------------------------------------------------------------------------
// Bypass and reset

bool CEqEditor::isBypassed() {
    const bool on = isEqBypassed(app_.device().store, eq_);
    panel_->setBypass(on);
    return on;
}

void CEqEditor::toggleBypass() {
    const ParamStore& store = app_.device().store;
    if (eqBypassWord(eq_) < 0) return;
    const bool bypassed = !isEqBypassed(store, eq_);
    app_.edits().apply(eqBypassEdit(store, eq_, bypassed));
    panel_->setBypass(bypassed);
}

void CEqEditor::reset() {
    app_.edits().apply(eqResetEdit(eq_));
    RefreshFromStore();
}

// ---------------------------------------------------------------------------
// Filter lists and copies

void CEqEditor::buildFileButtons(QBoxLayout* column) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    importButton_ = actionButton(this, 0);
    exportButton_ = actionButton(this, 0);
    copyButton_ = actionButton(this, 0);
    for (CGdipButton* b : {importButton_, exportButton_, copyButton_}) {
        b->setFocusPolicy(Qt::TabFocus);
        b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        row->addWidget(b, 1);
    }
    column->addLayout(row);
    copyMenu_ = new QMenu(this);
    connect(importButton_, &CGdipButton::clicked, this, &CEqEditor::importFile);
    connect(exportButton_, &CGdipButton::clicked, this, &CEqEditor::exportFile);
    connect(copyButton_, &CGdipButton::clicked, this, &CEqEditor::openCopyMenu);
}

void CEqEditor::updateCopyButton() {
    const bool any = !copyTargets().empty();
    copyButton_->setEnabled(any);
    copyButton_->setToolTip(any ? QString()
                                : pick(app_.languageIndex(), "没有频段数相同的其他均衡器",
                                       "No other EQ has the same number of bands"));
}

void CEqEditor::tell(QMessageBox::Icon icon, const QString& caption, const QStringList& lines) {
    app_.messageBox({icon, caption, lines.join(QLatin1Char('\n')), QMessageBox::Ok});
}

QString CEqEditor::lineReport(const EqTextParse& parsed, const EqTextImport& fitted, int language) {
    QStringList out;
    for (std::size_t n = 0; n < parsed.lines.size() && n < fitted.lines.size(); ++n) {
        const EqTextLine& line = parsed.lines[n];
        if (line.kind == EqTextLineKind::Blank) continue;
        const EqTextLineFate& fate = fitted.lines[n];
        QString entry = (language == kEnglish ? QStringLiteral("Line %1: %2 — %3")
                                              : QStringLiteral("第 %1 行：%2 — %3"))
                            .arg(line.number)
                            .arg(CEqImportDlg::fateText(line, fate, language), utf8(line.text));
        for (const EqTextNote& note : fate.notes)
            entry += QStringLiteral("\n    ") + utf8(note.textFor(language));
        out << entry;
    }
    return out.join(QLatin1Char('\n'));
}

void CEqEditor::importFile() {
    const int lang = app_.languageIndex();
    const QString caption = pick(lang, "导入均衡", "Import EQ");
    // The dialogs below run loops of their own, during which the page or
    // the window it belongs to may go: nothing of either is used after that.
    QPointer<CEqEditor> self(this);
    const QString path = app_.fileDialog(
        FileDialogRequest(false, {}, filterListFilter(lang), QStringLiteral("txt")));
    if (!self || path.isEmpty()) return;
    // A filter list is small: reading one byte past the limit tells a
    // larger file.
    const FileRead read = readFileHead(filePath(path), kEqTextMaxBytes + 1);
    if (!read.result) {
        tell(QMessageBox::Warning, caption,
             {pick(lang, "无法读取文件：", "Cannot read the file:"),
              QDir::toNativeSeparators(path)});
        return;
    }
    QPointer<CEqImportDlg> preview = new CEqImportDlg(app_, QFileInfo(path).fileName(),
                                                      parseEqText(read.bytes), model(), window());
    if (!preview->result().ok()) {
        QStringList lines{QFileInfo(path).fileName()};
        lines << noteTexts(preview->result().errors, lang);
        // Every line of the file with what became of it, under the box's
        // details: the summary names only the first few.
        const QString details = lineReport(preview->parsed(), preview->result(), lang);
        delete preview.data();
        app_.messageBox({QMessageBox::Warning, caption, lines.join(QLatin1Char('\n')),
                         QMessageBox::Ok, details});
        return;
    }
    const int answer = preview->exec();
    if (!preview || !self) {
        delete preview.data();
        return;
    }
    const std::optional<int> channel = preview->channel();
    const EqTextParse parsed = preview->parsed();
    delete preview.data();
    if (answer != QDialog::Accepted) return;
    // Fitted again onto the EQ as it is now, should the store have changed
    // while the preview was open.
    EqTextFitOptions options;
    options.channel = channel;
    const EqTextImport r = fitEqText(parsed, model(), options);
    if (!r.ok()) return;
    const std::vector<int> bands = changedBands(model(), r.graph);
    if (bands.empty()) return;
    applyBands(r.graph, bands,
               editText(QStringLiteral("导入%1").arg(title(eq_, kChinese)),
                        QStringLiteral("Import %1").arg(title(eq_, kEnglish))));
}

void CEqEditor::exportFile() {
    const int lang = app_.languageIndex();
    const QString caption = pick(lang, "导出均衡", "Export EQ");
    QPointer<CEqEditor> self(this);
    const QString path =
        app_.fileDialog(FileDialogRequest(true, title(eq_, kEnglish) + QStringLiteral(".txt"),
                                          filterListFilter(lang), QStringLiteral("txt")));
    if (!self || path.isEmpty()) return;
    const EqTextExport text = writeEqText(eq_, model().bands());
    const FileResult written =
        replaceFile(filePath(path),
                    std::span<const std::uint8_t>(
                        reinterpret_cast<const std::uint8_t*>(text.text.data()), text.text.size()));
    if (!written) {
        app_.showFileError(written.error);
        return;
    }
    const QString name = QFileInfo(path).fileName();
    if (text.notes.empty()) {
        app_.ShowInfo((lang == kEnglish ? QStringLiteral("%1 written") : QStringLiteral("已写入%1"))
                          .arg(name),
                      1500);
        return;
    }
    QStringList lines{(lang == kEnglish ? QStringLiteral("%1 written; the format cannot hold:")
                                        : QStringLiteral("已写入%1；此格式无法写出："))
                          .arg(name)};
    lines << noteTexts(text.notes, lang);
    tell(QMessageBox::Information, caption, lines);
}

std::vector<int> CEqEditor::copyTargets() const {
    // The pairs the copy itself accepts, asked of the EQs' default sets.
    EqGraphModel from;
    loadResetBands(from, eq_);
    std::vector<int> out;
    for (int eq = 0; eq < kEqCount; ++eq) {
        EqGraphModel to;
        loadResetBands(to, eq);
        if (copyEq(from, to).ok()) out.push_back(eq);
    }
    return out;
}

void CEqEditor::openCopyMenu() {
    const int lang = app_.languageIndex();
    copyMenu_->clear();
    for (const int target : copyTargets()) {
        QAction* action = copyMenu_->addAction(title(target, lang));
        action->setData(target);
        connect(action, &QAction::triggered, this, [this, target] { copyTo(target); });
    }
    copyMenu_->popup(copyButton_->mapToGlobal(QPoint(0, copyButton_->height())));
}

void CEqEditor::copyTo(int target) {
    const int lang = app_.languageIndex();
    if (!isEqNumber(target)) return;
    const ParamStore& store = app_.device().store;
    EqGraphModel from;
    EqGraphModel to;
    loadEqFromStore(store, from, eq_);
    loadEqFromStore(store, to, target);
    const EqCopy r = copyEq(from, to);
    if (!r.ok()) {
        tell(QMessageBox::Warning, pick(lang, "复制均衡", "Copy EQ"), noteTexts(r.errors, lang));
        return;
    }
    const std::vector<int> bands = changedBands(to, r.graph);
    QStringList notice{
        (lang == kEnglish ? QStringLiteral("%1 copied to %2") : QStringLiteral("%1已复制到%2"))
            .arg(title(eq_, lang), title(target, lang))};
    if (!bands.empty()) {
        app_.edits().apply(bandsEdit(
            target, r.graph.bands(), bands,
            editText(
                QStringLiteral("复制%1到%2").arg(title(eq_, kChinese), title(target, kChinese)),
                QStringLiteral("Copy %1 to %2")
                    .arg(title(eq_, kEnglish), title(target, kEnglish)))));
    } else {
        notice << pick(lang, "没有频段改变", "No band changed");
    }
    notice << noteTexts(r.notes, lang);
    app_.ShowInfo(notice.join(QLatin1Char('\n')), 2500);
    // The page may show the target too.
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* page = qobject_cast<CEditorPage*>(w)) {
            page->RefreshFromStore();
            break;
        }
    }
}

}  // namespace v36
