#include "pages/eq_import_dlg.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <array>
#include <utility>

#include "app/language.h"
#include "app/page.h"
#include "controls/eq_panel.h"
#include "controls/image_button.h"
#include "controls/paint_support.h"
#include "dsp/crossover.h"
#include "pages/eq_editor.h"
#include "pages/tool_dialog_parts.h"

namespace v36 {

namespace {

QString utf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

const QColor kSkippedText(0xB0, 0x20, 0x20);
const QColor kQuietText(0x80, 0x80, 0x80);
const QColor kCurrentCurve(0xD0, 0xD0, 0xD0);

// The EQ panel of the preview: the EQ after the import with its markers, and
// under it (dashed) the EQ as it is now. Only looked at: pointer and keys pass
// it by.
class CImportCurvePanel : public CEqPanel {
  public:
    CImportCurvePanel(const EqGraphModel& current, int language, QWidget* parent)
        : CEqPanel(parent), current_(current), language_(language) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setLanguage(language);
        setEqNumber(current.eqNumber());
        setBandCount(current.bandCount());
    }

    QSize sizeHint() const override { return {760, 260}; }
    QSize minimumSizeHint() const override { return {420, 190}; }

  protected:
    // The EQ as it is now, dashed, at the same curve points as the panel's
    // own curve.
    void drawUnderCurve(QPainter& p, const QRectF& plot) override {
        if (current_.axis().width() != model().axis().width())
            current_.setPlotWidth(model().axis().width());
        p.setPen(currentPen());
        p.drawPolyline(curveLine(current_.totalCurve(), plot));
    }

    void paintEvent(QPaintEvent* event) override {
        CEqPanel::paintEvent(event);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        drawLegend(p);
    }

  private:
    // "- - Now   —— After the import" along the top, left of the title.
    void drawLegend(QPainter& p) {
        QFont font = p.font();
        font.setPixelSize(12);
        p.setFont(font);
        const QFontMetricsF fm(font);
        const double y = kTopInset / 2.0;
        double x = kLeftInset;
        const auto entry = [&](const QPen& pen, const QString& text) {
            p.setPen(pen);
            p.drawLine(QPointF(x, y), QPointF(x + 22.0, y));
            x += 27.0;
            p.setPen(QColor(0xE0, 0xE0, 0xE0));
            const double w = fm.horizontalAdvance(text);
            p.drawText(QRectF(x, 0.0, w + 2.0, kTopInset), Qt::AlignLeft | Qt::AlignVCenter, text);
            x += w + 16.0;
        };
        entry(currentPen(), pick(language_, "当前", "Now"));
        entry(QPen(curveColor(), 2.0), pick(language_, "导入后", "After the import"));
    }

    static QPen currentPen() {
        QPen pen(kCurrentCurve, 1.5, Qt::DashLine);
        pen.setCapStyle(Qt::FlatCap);
        return pen;
    }

    EqGraphModel current_;
    int language_;
};

}  // namespace

QString CEqImportDlg::fateText(const EqTextLine& line, const EqTextLineFate& fate, int language) {
    switch (fate.fate) {
        case EqTextFate::Ignored:
            return line.kind == EqTextLineKind::Header ? pick(language, "文件头", "Header")
                                                       : pick(language, "注释", "Comment");
        case EqTextFate::Reported:
            return line.kind == EqTextLineKind::Channel ? pick(language, "声道段", "Channel")
                                                        : pick(language, "前级增益", "Preamp");
        case EqTextFate::Band:
            return language == kEnglish ? QStringLiteral("Band %1").arg(fate.band + 1)
                                        : QStringLiteral("第 %1 段").arg(fate.band + 1);
        case EqTextFate::Off:
            return pick(language, "关闭", "Off");
        case EqTextFate::Skipped:
            return pick(language, "未采用", "Skipped");
        case EqTextFate::Dropped:
            return pick(language, "无空余频段", "No band left");
        case EqTextFate::OtherChannel:
            return pick(language, "其他声道", "Other channel");
    }
    return {};
}

CEqImportDlg::CEqImportDlg(CAppServices& app, const QString& fileName, EqTextParse parsed,
                           const EqGraphModel& current, QWidget* parent)
    : QDialog(parent),
      app_(app),
      language_(app.languageIndex()),
      parsed_(std::move(parsed)),
      current_(current) {
    const int lang = language_;
    setWindowTitle(lang == kEnglish
                       ? QStringLiteral("Import into %1").arg(utf8(eqTitle(current.eqNumber(), 1)))
                       : QStringLiteral("导入到%1").arg(utf8(eqTitle(current.eqNumber(), 0))));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kPageBackground));
    setPalette(palette);
    setAutoFillBackground(true);

    // The file and what it offers beyond the filters.
    file_ = staticText(
        this, 0,
        (lang == kEnglish ? QStringLiteral("File: %1") : QStringLiteral("文件：%1")).arg(fileName));
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    channelCaption_ = staticText(this, 0, pick(lang, "声道段：", "Channel:"));
    channels_ = new QComboBox(this);
    for (const EqTextChannel& c : parsed_.channels)
        channels_->addItem(utf8(c.name));
    preamp_ = staticText(this, 0);
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(file_, 1);
    top->addWidget(preamp_);
    top->addSpacing(12);
    top->addWidget(channelCaption_);
    top->addWidget(channels_);
    const bool several = parsed_.channels.size() > 1;
    channelCaption_->setVisible(several);
    channels_->setVisible(several);

    panel_ = new CImportCurvePanel(current_, lang, this);

    table_ = new QTableWidget(0, 5, this);
    table_->setHorizontalHeaderLabels(
        {pick(lang, "行", "Line"), pick(lang, "文件中的内容", "In the file"),
         pick(lang, "结果", "Becomes"), pick(lang, "频段值", "Band values"),
         pick(lang, "说明", "Notes")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(true);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(kLineColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kSourceColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(kBandColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kResultColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kNotesColumn, QHeaderView::Stretch);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setMinimumHeight(140);

    notes_ = new QLabel(this);
    notes_->setWordWrap(true);
    notes_->setAttribute(Qt::WA_TranslucentBackground);
    notes_->setTextFormat(Qt::PlainText);
    notes_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    ok_ = actionButton(this, 0);
    ok_->setCaption(pick(lang, "确定", "OK"));
    cancel_ = actionButton(this, 0);
    cancel_->setCaption(pick(lang, "取消", "Cancel"));
    for (CGdipButton* b : {ok_, cancel_})
        b->setMinimumWidth(b->sizeHint().width());
    connect(ok_, &CGdipButton::clicked, this, &QDialog::accept);
    connect(cancel_, &CGdipButton::clicked, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(10);
    bottom->addWidget(notes_, 1);
    bottom->addWidget(ok_, 0, Qt::AlignBottom);
    bottom->addWidget(cancel_, 0, Qt::AlignBottom);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 8, 10, 10);
    page->setSpacing(8);
    page->addLayout(top);
    page->addWidget(panel_, 2);
    page->addWidget(table_, 3);
    page->addLayout(bottom);

    // Several sections: the first that gives the EQ a filter.
    std::optional<int> first;
    if (several) {
        first = 0;
        for (int c = 0; c < static_cast<int>(parsed_.channels.size()); ++c) {
            EqTextFitOptions options;
            options.channel = c;
            if (fitEqText(parsed_, current_, options).ok()) {
                first = c;
                break;
            }
        }
        channels_->setCurrentIndex(*first);
    }
    connect(channels_, &QComboBox::activated, this, &CEqImportDlg::selectChannel);
    fit(first);
    // What OK does follows the unit, which may come or go while this is open.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
        if (app_.isConnected() != shownConnected_) showResult();
    });
    watch->start(kConnectionCheckMs);

    setMinimumSize(680, 560);
    resize(980, 680);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 9 / 10;
        resize(std::min(width(), room.width()), std::min(height(), room.height()));
    }
}

std::optional<int> CEqImportDlg::channel() const {
    if (import_.channel < 0) return std::nullopt;
    return import_.channel;
}

void CEqImportDlg::selectChannel(int index) {
    if (index < 0 || index >= static_cast<int>(parsed_.channels.size())) return;
    if (channels_->currentIndex() != index) channels_->setCurrentIndex(index);
    fit(index);
}

int CEqImportDlg::rowOfLine(int line) const {
    if (line < 0 || static_cast<std::size_t>(line) >= rows_.size()) return -1;
    return rows_[static_cast<std::size_t>(line)];
}

void CEqImportDlg::fit(std::optional<int> channel) {
    EqTextFitOptions options;
    options.channel = channel;
    import_ = fitEqText(parsed_, current_, options);
    changed_ = import_.ok() ? v36::changedBands(current_, import_.graph) : std::vector<int>{};
    fillTable();
    showResult();
}

QString CEqImportDlg::bandValues(int band) const {
    const EqGraphModel& g = import_.graph;
    const EqBand& b = g.band(band);
    QString type = CEqEditor::typeName(b.type, language_);
    if (g.eqNumber() == kEqSub && band < kSubPoints) {
        const SubPointShape shape = classifySubPoint(subPointTypes(g.bands(), band));
        const bool pass = shape.shownType == kLowPass || shape.shownType == kHighPass;
        type = CEqEditor::typeName(shape.shownType, language_);
        if (pass && shape.family >= 0 && shape.family < kCrossoverListEntries &&
            !crossoverFamily(shape.family).label.empty())
            type += QLatin1Char(' ') + utf8(crossoverFamily(shape.family).label);
    }
    QStringList parts{type, utf8(formatFrequency(b.freq))};
    if (hasGain(b.type)) parts << utf8(formatGain(b.gain));
    parts << QStringLiteral("Q %1").arg(utf8(formatQ(b.q)));
    return parts.join(QLatin1Char(' '));
}

void CEqImportDlg::fillTable() {
    table_->setRowCount(0);
    rows_.assign(parsed_.lines.size(), -1);
    for (std::size_t n = 0; n < parsed_.lines.size(); ++n) {
        const EqTextLine& line = parsed_.lines[n];
        if (line.kind == EqTextLineKind::Blank) continue;
        const EqTextLineFate& fate = import_.lines[n];
        const int row = table_->rowCount();
        rows_[n] = row;
        table_->insertRow(row);
        QStringList notes;
        for (const EqTextNote& note : fate.notes)
            notes << utf8(note.textFor(language_));
        const QString cells[] = {QString::number(line.number), utf8(line.text),
                                 fateText(line, fate, language_),
                                 fate.fate == EqTextFate::Band ? bandValues(fate.band) : QString(),
                                 notes.join(QLatin1Char('\n'))};
        const bool skipped = fate.fate == EqTextFate::Skipped || fate.fate == EqTextFate::Dropped ||
                             fate.fate == EqTextFate::OtherChannel;
        const bool quiet = fate.fate == EqTextFate::Ignored || fate.fate == EqTextFate::Off;
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (skipped) item->setForeground(kSkippedText);
            if (quiet) item->setForeground(kQuietText);
            table_->setItem(row, c, item);
        }
    }
    table_->resizeRowsToContents();
}

QString CEqImportDlg::okText(int count, bool connected, int language) {
    if (count == 0) return pick(language, "没有频段会改变。", "No band changes.");
    if (language != kEnglish) {
        return (connected ? QStringLiteral("确定后发送改变的 %1 个频段，作为一步（可撤销）。")
                          : QStringLiteral("未连接设备：确定后只在本程序中改变 %1 "
                                           "个频段，作为一步（可撤销），不发送。"))
            .arg(count);
    }
    const QString bands = count == 1 ? QStringLiteral("the changed band")
                                     : QStringLiteral("the %1 changed bands").arg(count);
    return connected ? QStringLiteral("OK sends %1 as one step (Undo takes it back).").arg(bands)
                     : QStringLiteral(
                           "No unit is connected: OK changes %1 here only, as one "
                           "step (Undo takes it back); nothing is sent.")
                           .arg(bands);
}

void CEqImportDlg::showResult() {
    const int lang = language_;
    const bool ok = import_.ok();
    // The panel shows the EQ after the import; with nothing to import, the
    // EQ as it is.
    EqGraphModel& shown = panel_->model();
    const int width = shown.axis().width();
    shown = ok ? import_.graph : current_;
    if (shown.axis().width() != width) shown.setPlotWidth(width);
    panel_->clearSelection();
    panel_->update();

    if (import_.preampDb) {
        preamp_->setText((lang == kEnglish ? QStringLiteral("Preamp: %1 dB (not applied)")
                                           : QStringLiteral("前级增益：%1 dB（未采用）"))
                             .arg(*import_.preampDb, 0, 'f', 1));
    }
    preamp_->setVisible(import_.preampDb.has_value());

    QStringList lines;
    for (const EqTextNote& e : import_.errors)
        lines << utf8(e.textFor(lang));
    for (const EqTextNote& n : import_.notes)
        lines << utf8(n.textFor(lang));
    shownConnected_ = app_.isConnected();
    if (ok) lines << okText(static_cast<int>(changed_.size()), shownConnected_, lang);
    notes_->setText(lines.join(QLatin1Char('\n')));
    QPalette p = notes_->palette();
    p.setColor(QPalette::WindowText, ok ? QColor(0x20, 0x20, 0x20) : kSkippedText);
    notes_->setPalette(p);
    ok_->setEnabled(ok && !changed_.empty());
}

}  // namespace v36
