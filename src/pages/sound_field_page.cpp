#include "pages/sound_field_page.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/edit_path.h"
#include "app/language.h"
#include "context/device_context.h"
#include "controls/image_button.h"
#include "controls/pictures.h"
#include "controls/spin_button.h"
#include "controls/ss_volume_panel.h"
#include "pages/page_buttons.h"
#include "protocol/edit.h"

namespace v36 {

namespace {

struct Caption {
    int id;
    const char* zh;
    const char* en;
};

// The page's captions until the language file relabels them.
constexpr Caption kCaptions[] = {
    {1007, "房间大小", "Room size"},
    {1003, "宽(m)", "Width(m)"},
    {1131, "长(m)", "Height(m)"},
    {1005, "长度单位:米(m)", "Length unit: Meter"},
    {1002, "声源的位置", "Audio source location"},
    {CSSVCDlg::kModifyButton, "立即修改", "Modify"},
    {CSSVCDlg::kCenterButton, "居中", "Center"},
    {CSSVCDlg::kResetButton, "复位", "Reset all"},
};

// The label of each item: the listener, then Main L, Center, Main R, Rear L,
// Sub, Rear R, Top L, Top R.
constexpr Caption kItemCaptions[CSSVCDlg::kItems] = {
    {1006, "听众位置", "Listener location"},
    {1011, "前置左", "Main.L"},
    {1012, "中置", "Center"},
    {1013, "前置右", "Main.R"},
    {1022, "后置左", "Rear.L"},
    {1023, "超低", "Sub"},
    {1017, "后置右", "Rear.R"},
    {1018, "顶置左", "Top.L"},
    {1019, "顶置右", "Top.R"},
};

// The leading decimal number of a text ("+1.5m" is 1.5); none gives 0.
double leadingNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch()) return 0.0;
    const double v = m.captured(0).trimmed().toDouble();
    return std::isfinite(v) ? v : 0.0;
}

// A room size from its edit: whole metres 1..10 (no number gives 1).
int roomMetres(const QString& text) {
    const double v = leadingNumber(text);
    if (!(v >= 1.0)) return 1;
    return std::min(10, static_cast<int>(v));
}

QString positionText(float metres) {
    return QString::asprintf("%+-.1fm", static_cast<double>(metres));
}

// A position's spin: the tenths the edit shows.
int tenths(float metres) {
    return static_cast<int>(std::lround(static_cast<double>(metres) * 10.0));
}

CGdipButton* actionButton(int id, QWidget* parent) {
    auto* b = new CGdipButton(parent);
    b->setControlId(id);
    setControlId(b, id);
    b->loadStandard(picture::kActionButton);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

}  // namespace

CSSVCDlg::CSSVCDlg(CAppServices& app, QWidget* parent)
    : CEditorPage(PageKind::SoundField, app, parent) {
    build();
    RefreshFromStore();
    ApplyLanguage();
}

QLineEdit* CSSVCDlg::edit(int id) const {
    if (id == kRoomWidthEdit || id == kRoomLengthEdit) return roomEdits_[id - kRoomWidthEdit];
    const int i = id - kFirstEdit;
    if (i < 0 || i >= 2 * kItems) return nullptr;
    return edits_[static_cast<std::size_t>(i)];
}

CSpinButton* CSSVCDlg::spin(int id) const {
    if (id == kRoomWidthSpin || id == kRoomLengthSpin) return roomSpins_[id - kRoomWidthSpin];
    const int i = id - kFirstSpin;
    if (i < 0 || i >= 2 * kItems) return nullptr;
    return spins_[static_cast<std::size_t>(i)];
}

QString CSSVCDlg::itemName(int item, int language) const {
    const Caption& c = kItemCaptions[item];
    return pick(language, c.zh, c.en);
}

void CSSVCDlg::build() {
    const int lang = app_.languageIndex();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(8);
    buttons_ = new CPageButtonRow(app_, this);
    buttons_->setCurrent(PageKind::SoundField);
    page->addWidget(buttons_);
    auto* body = new QHBoxLayout;
    body->setSpacing(10);
    page->addLayout(body, 1);
    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    body->addLayout(left, 0);
    room_ = new CSSVolumePanel(this);
    setControlId(room_, kRoomPanel);
    room_->setMinimumSize(320, 300);
    room_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    body->addWidget(room_, 1);
    connect(room_, &CSSVolumePanel::itemPicked, this, &CSSVCDlg::onItemDragged);
    connect(room_, &CSSVolumePanel::itemMoved, this, &CSSVCDlg::onItemDragged);

    const auto label = [&](int id, QWidget* parent) {
        auto* l = new QLabel(parent);
        setControlId(l, id);
        return l;
    };
    const int editWidth = fontMetrics().horizontalAdvance(QStringLiteral("-12.7m")) + 16;
    const auto makeEdit = [&](int id, QWidget* parent) {
        auto* e = new QLineEdit(parent);
        setControlId(e, id);
        e->setFixedWidth(editWidth);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        e->installEventFilter(this);
        return e;
    };
    const auto makeSpin = [&](int id, QWidget* parent, const QLineEdit* buddy) {
        auto* s = new CSpinButton(parent);
        setControlId(s, id);
        s->setFixedSize(17, buddy->sizeHint().height());
        return s;
    };

    // The room.
    auto* roomBox = new QGroupBox(this);
    setControlId(roomBox, 1007);
    auto* roomGrid = new QGridLayout(roomBox);
    roomGrid->setHorizontalSpacing(4);
    for (int r = 0; r < 2; ++r) {
        const int editId = kRoomWidthEdit + r;
        roomGrid->addWidget(label(r == 0 ? 1003 : 1131, roomBox), r, 0);
        roomEdits_[r] = makeEdit(editId, roomBox);
        roomSpins_[r] = makeSpin(kRoomWidthSpin + r, roomBox, roomEdits_[r]);
        roomSpins_[r]->setRange(1, 10);
        roomGrid->addWidget(roomEdits_[r], r, 1);
        roomGrid->addWidget(roomSpins_[r], r, 2);
        connect(roomSpins_[r], &CSpinButton::deltaPos, this,
                [this, r](int delta) { onRoomSpin(kRoomWidthSpin + r, delta); });
        // A typed size takes effect with Enter or Modify, not when the box
        // is left.
        connect(roomEdits_[r], &QLineEdit::returnPressed, this, [this] { changeRoom(true); });
    }
    CGdipButton* modify = actionButton(kModifyButton, roomBox);
    roomGrid->addWidget(modify, 0, 4, 2, 1, Qt::AlignVCenter);
    roomGrid->setColumnMinimumWidth(3, 6);
    roomGrid->setColumnStretch(3, 1);
    auto* unit = label(1005, roomBox);
    roomGrid->addWidget(unit, 2, 0, 1, 5);
    connect(modify, &CGdipButton::clicked, this, [this] { changeRoom(true); });
    left->addWidget(roomBox);

    // The listener and the speakers.
    auto* placeBox = new QGroupBox(this);
    setControlId(placeBox, 1002);
    auto* grid = new QGridLayout(placeBox);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(4);
    for (int c = 0; c < 2; ++c) {
        auto* head = new QLabel(c == 0 ? QStringLiteral("X") : QStringLiteral("Y"), placeBox);
        head->setAlignment(Qt::AlignCenter);
        grid->addWidget(head, 0, 2 + 2 * c, 1, 2);
    }
    grid->setColumnMinimumWidth(1, 4);
    for (int item = 0; item < kItems; ++item) {
        QLabel* name = label(kItemCaptions[item].id, placeBox);
        name->setText(itemName(item, lang));
        names_[static_cast<std::size_t>(item)] = name;
        grid->addWidget(name, 1 + item, 0);
        for (int c = 0; c < 2; ++c) {
            const std::size_t i = static_cast<std::size_t>(2 * item + c);
            edits_[i] = makeEdit(kFirstEdit + 2 * item + c, placeBox);
            spins_[i] = makeSpin(kFirstSpin + 2 * item + c, placeBox, edits_[i]);
            grid->addWidget(edits_[i], 1 + item, 2 + 2 * c);
            grid->addWidget(spins_[i], 1 + item, 3 + 2 * c);
            const int spinId = kFirstSpin + 2 * item + c;
            connect(spins_[i], &CSpinButton::deltaPos, this,
                    [this, spinId](int delta) { onPositionSpin(spinId, delta); });
            // Enter and leaving the box both end the typing: the typed
            // value is applied once, as typed.
            connect(edits_[i], &QLineEdit::editingFinished, this, [this, item] {
                if (typedPosition(item)) moveFromEdits(item, true);
            });
        }
        if (item >= kShownItems) {
            name->hide();
            for (int c = 0; c < 2; ++c) {
                edits_[static_cast<std::size_t>(2 * item + c)]->hide();
                spins_[static_cast<std::size_t>(2 * item + c)]->hide();
            }
        }
    }
    left->addWidget(placeBox);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    CGdipButton* center = actionButton(kCenterButton, this);
    CGdipButton* reset = actionButton(kResetButton, this);
    actions->addWidget(center);
    actions->addWidget(reset);
    actions->addStretch(1);
    left->addLayout(actions);
    left->addStretch(1);
    connect(center, &CGdipButton::clicked, this, &CSSVCDlg::centerListener);
    connect(reset, &CGdipButton::clicked, this, &CSSVCDlg::resetAll);

    for (const Caption& c : kCaptions) {
        if (QWidget* w = findControl(this, c.id)) setControlText(w, pick(lang, c.zh, c.en));
    }
}

void CSSVCDlg::ApplyLanguage() {
    CEditorPage::ApplyLanguage();
    room_->setLanguage(app_.languageIndex());
}

void CSSVCDlg::RefreshFromStore() {
    const SoundFieldGeometry g = app_.device().store.soundField.get();
    room_->setRoomSize(static_cast<float>(g.roomWidth), static_cast<float>(g.roomHeight));
    const int size[2] = {g.roomWidth, g.roomHeight};
    for (int r = 0; r < 2; ++r) {
        roomSpins_[r]->setPosition(size[r]);
        roomEdits_[r]->setText(QString::asprintf("%dm", size[r]));
    }
    setPositionRanges(g.roomWidth, g.roomHeight);
    for (int item = 0; item < kItems; ++item) {
        const std::size_t k = static_cast<std::size_t>(item - 1);
        const float x = item == 0 ? g.listenerX : g.speakerX[k];
        const float y = item == 0 ? g.listenerY : g.speakerY[k];
        room_->setItemPosition(x, y, item);
        showPosition(item, x, y);
        setPositionSpins(item, x, y);
    }
    buttons_->setCurrent(PageKind::SoundField);
}

void CSSVCDlg::showPosition(int item, float x, float y) {
    const float xy[2] = {x, y};
    for (int c = 0; c < 2; ++c) {
        const auto i = static_cast<std::size_t>(2 * item + c);
        shown_[i] = positionText(xy[c]);
        edits_[i]->setText(shown_[i]);
    }
}

bool CSSVCDlg::typedPosition(int item) const {
    for (int c = 0; c < 2; ++c) {
        const auto i = static_cast<std::size_t>(2 * item + c);
        if (edits_[i]->text() != shown_[i]) return true;
    }
    return false;
}

void CSSVCDlg::setPositionSpins(int item, float x, float y) {
    spins_[static_cast<std::size_t>(2 * item)]->setPosition(tenths(x));
    spins_[static_cast<std::size_t>(2 * item + 1)]->setPosition(tenths(y));
}

void CSSVCDlg::setPositionRanges(int width, int length) {
    for (int item = 0; item < kItems; ++item) {
        spins_[static_cast<std::size_t>(2 * item)]->setRange(-width * 5, width * 5);
        spins_[static_cast<std::size_t>(2 * item + 1)]->setRange(-length * 5, length * 5);
    }
}

void CSSVCDlg::addAllLevels(Edit& edit, const SoundFieldGeometry& g, float lx, float ly) const {
    for (std::size_t k = 0; k < SoundFieldGeometry::kSpeakers; ++k)
        edit.speakerLevel(speakerTrimOfRoomSpeaker(static_cast<int>(k)),
                          soundFieldLevel(lx, ly, g.speakerX[k], g.speakerY[k]));
}

void CSSVCDlg::onItemDragged(const CSSItem& item) {
    if (item.number < 0 || item.number >= kItems) return;
    showPosition(item.number, item.x, item.y);
    setPositionSpins(item.number, item.x, item.y);
    commitMove(item.number, item.x, item.y, true);
}

void CSSVCDlg::moveFromEdits(int item, bool confirmed) {
    const std::size_t i = static_cast<std::size_t>(2 * item);
    // The room as the spins hold it.
    const float halfWidth = static_cast<float>(roomSpins_[0]->position()) / 2.0f;
    const float halfLength = static_cast<float>(roomSpins_[1]->position()) / 2.0f;
    const float x =
        std::clamp(static_cast<float>(leadingNumber(edits_[i]->text())), -halfWidth, halfWidth);
    const float y = std::clamp(static_cast<float>(leadingNumber(edits_[i + 1]->text())),
                               -halfLength, halfLength);
    if (confirmed) setPositionSpins(item, x, y);
    room_->setItemPosition(x, y, item);
    showPosition(item, x, y);
    commitMove(item, x, y, !confirmed);
}

void CSSVCDlg::commitMove(int item, float x, float y, bool merge) {
    const ParamStore& store = app_.device().store;
    const SoundFieldGeometry old = store.soundField.get();
    SoundFieldGeometry g = old;
    if (item == 0) {
        g.listenerX = x;
        g.listenerY = y;
    } else {
        g.speakerX[static_cast<std::size_t>(item - 1)] = x;
        g.speakerY[static_cast<std::size_t>(item - 1)] = y;
    }
    // The levels follow the listener the room shows.
    const float lx = room_->item(0).x;
    const float ly = room_->item(0).y;
    std::vector<std::pair<int, float>> levels;
    for (std::size_t k = 0; k < SoundFieldGeometry::kSpeakers; ++k) {
        if (item != 0 && k != static_cast<std::size_t>(item - 1)) continue;
        levels.emplace_back(speakerTrimOfRoomSpeaker(static_cast<int>(k)),
                            soundFieldLevel(lx, ly, g.speakerX[k], g.speakerY[k]));
    }
    bool changes = !(g == old);
    for (const auto& [entry, db] : levels)
        changes = changes || store.speakerLevel(entry) != db;
    if (!changes) return;  // a pick without a move

    Edit edit(editText(QString::fromUtf8("移动") + itemName(item, kChinese),
                       QStringLiteral("Move ") + itemName(item, kEnglish)));
    if (merge) edit.merging("soundField:item:" + std::to_string(item));
    edit.soundField(g);
    for (const auto& [entry, db] : levels)
        edit.speakerLevel(entry, db);
    app_.edits().apply(std::move(edit));
}

void CSSVCDlg::onPositionSpin(int spinId, int delta) {
    CSpinButton* s = spin(spinId);
    if (!s) return;
    const int position = s->stepped(delta);
    s->setPosition(position);
    QLineEdit* partner = edit(spinId - (kFirstSpin - kFirstEdit));
    partner->setText(positionText(static_cast<float>(position) / 10.0f));
    if (focusWidget() != partner) {
        // The focus moves here before the step, so it does not end the run
        // of steps it begins.
        app_.edits().endGesture();
        partner->setFocus(Qt::OtherFocusReason);
    }
    moveFromEdits((spinId - kFirstSpin) / 2, false);
}

void CSSVCDlg::onRoomSpin(int spinId, int delta) {
    CSpinButton* s = spin(spinId);
    if (!s) return;
    const int metres = s->stepped(delta);
    s->setPosition(metres);
    edit(spinId - (kRoomWidthSpin - kRoomWidthEdit))->setText(QString::asprintf("%dm", metres));
    changeRoom(false);
}

void CSSVCDlg::changeRoom(bool fromButton) {
    const int width = roomMetres(roomEdits_[0]->text());
    const int length = roomMetres(roomEdits_[1]->text());
    roomEdits_[0]->setText(QString::asprintf("%dm", width));
    roomEdits_[1]->setText(QString::asprintf("%dm", length));
    if (fromButton) {
        roomSpins_[0]->setPosition(width);
        roomSpins_[1]->setPosition(length);
    }
    room_->setRoomSize(static_cast<float>(width), static_cast<float>(length));
    setPositionRanges(width, length);
    // Positions outside the new room stay where they are; no level changes.
    SoundFieldGeometry g = app_.device().store.soundField.get();
    if (g.roomWidth == width && g.roomHeight == length) return;
    g.roomWidth = width;
    g.roomHeight = length;
    Edit edit({"房间大小", "Room size"});
    if (!fromButton) edit.merging("soundField:room");
    edit.soundField(g);
    app_.edits().apply(std::move(edit));
}

void CSSVCDlg::centerListener() {
    room_->setItemPosition(0.0f, 0.0f, 0);
    // The listener's numbers follow it, so that both show one position.
    showPosition(0, 0.0f, 0.0f);
    setPositionSpins(0, 0.0f, 0.0f);
    SoundFieldGeometry g = app_.device().store.soundField.get();
    Edit edit({"居中", "Center"});
    g.listenerY = 0.0f;
    edit.soundField(g);
    g.listenerX = 0.0f;
    edit.soundField(g);
    addAllLevels(edit, g, 0.0f, 0.0f);
    app_.edits().apply(std::move(edit));
}

void CSSVCDlg::resetAll() {
    Edit edit({"全部复位", "Reset all"});
    for (int k = 0; k < SoundFieldGeometry::kSpeakers; ++k)
        edit.speakerLevel(speakerTrimOfRoomSpeaker(k), 0.0f);
    edit.soundField(decodeSoundFieldBytes(kDefaultSoundField.data()));
    app_.edits().apply(std::move(edit));
    RefreshFromStore();
}

int CSSVCDlg::focusedEditId() const {
    const QWidget* focus = focusWidget();
    if (!focus || !isAncestorOf(focus)) return 0;
    const int id = controlId(focus);
    return id >= kRoomWidthEdit && id < kFirstEdit + 2 * kItems ? id : 0;
}

bool CSSVCDlg::eventFilter(QObject* watched, QEvent* event) {
    // The arrow keys in an edit step its spin.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int id = controlId(watched);
        if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) && id >= kRoomWidthEdit &&
            id < kFirstEdit + 2 * kItems) {
            const int delta = key->key() == Qt::Key_Up ? 1 : -1;
            if (id < kFirstEdit)
                onRoomSpin(id + (kRoomWidthSpin - kRoomWidthEdit), delta);
            else
                onPositionSpin(id + (kFirstSpin - kFirstEdit), delta);
            return true;
        }
    }
    return CEditorPage::eventFilter(watched, event);
}

void CSSVCDlg::wheelEvent(QWheelEvent* event) {
    // Over the page, the wheel steps the spin of the focused edit.
    const int id = focusedEditId();
    if (id == 0) {
        CEditorPage::wheelEvent(event);
        return;
    }
    // Fine-grained wheels and touchpads send parts of a notch: they add up.
    if (id != wheelEdit_) wheelRest_ = 0;
    wheelEdit_ = id;
    wheelRest_ += event->angleDelta().y();
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    event->accept();
    for (int n = 0; n < std::abs(notches); ++n) {
        const int delta = notches > 0 ? 1 : -1;
        if (id < kFirstEdit)
            onRoomSpin(id + (kRoomWidthSpin - kRoomWidthEdit), delta);
        else
            onPositionSpin(id + (kFirstSpin - kFirstEdit), delta);
    }
}

}  // namespace v36
