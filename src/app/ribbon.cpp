#include "app/ribbon.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

#include "app/icons.h"
#include "app/language.h"
#include "app/ribbon_texts.h"
#include "protocol/controls.h"
#include "protocol/words.h"

namespace v36 {

// --- Step slider ------------------------------------------------------------

CMFCRibbonStepSlider::CMFCRibbonStepSlider(int commandId, int minimum, int maximum, int width,
                                           QWidget* parent)
    : QSlider(Qt::Horizontal, parent), commandId_(commandId) {
    setControlId(this, commandId);
    setRange(minimum, maximum);
    setSingleStep(1);
    setPageStep(1);
    setFixedWidth(width);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QSlider::valueChanged, this, [this] {
        if (!programmatic_) emit command(commandId_);
    });
}

void CMFCRibbonStepSlider::setPos(int value) {
    programmatic_ = true;
    setValue(value);
    programmatic_ = false;
}

void CMFCRibbonStepSlider::step(int delta) {
    const int before = value();
    setValue(before + delta);  // notifies through valueChanged when it moved
}

void CMFCRibbonStepSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QStyle::SubControl hit = style()->hitTestComplexControl(
        QStyle::CC_Slider, &option, event->position().toPoint(), this);
    if (hit == QStyle::SC_SliderHandle) {
        QSlider::mousePressEvent(event);
        return;
    }
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int x = event->position().toPoint().x();
    const bool forward = invertedAppearance() ? x < handle.center().x() : x > handle.center().x();
    step(forward ? 1 : -1);
    event->accept();
}

void CMFCRibbonStepSlider::wheelEvent(QWheelEvent* event) {
    // The view steps the sliders itself (both copies at once).
    event->ignore();
}

// --- Ribbon ---------------------------------------------------------------------

namespace {

const char* const kRibbonStyle = R"(
#ribbon { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #dfe9f5, stop:1 #c5d7ee); }
#ribbonStack { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f3f7fc, stop:1 #d6e4f5);
               border: 1px solid #8db2e3; border-radius: 3px; }
#ribbonPanel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7fafd, stop:0.8 #e1ebf7, stop:1 #c7d9f0);
               border: 1px solid #9ebbdd; border-radius: 3px; }
#panelCaption { color: #15428b; background: #c2d8f1; border-top: 1px solid #a9c4e6; padding: 1px; }
#ribbon QToolButton { color: #15428b; padding: 1px 4px; border: 1px solid transparent; border-radius: 2px; }
#ribbon QToolButton:hover { background: #ffe69a; border-color: #e3bb5c; }
#ribbon QToolButton:disabled { color: #9ca3ad; }
#ribbon QLabel { color: #15428b; }
#ribbon QCheckBox { color: #15428b; }
QTabBar#ribbonTabs::tab { color: #15428b; padding: 4px 14px; margin-right: 2px; border: 1px solid transparent;
                          border-top-left-radius: 3px; border-top-right-radius: 3px; }
QTabBar#ribbonTabs::tab:selected { background: #f3f7fc; border: 1px solid #8db2e3; border-bottom: none; }
QTabBar#ribbonTabs::tab:hover:!selected { background: #e8f0fa; }
)";

// A popup menu or a modal dialog takes the mouse away from the button that
// opened it without a leave event; once it is gone, the button counts as
// hovered only while the cursor is really over it.
void dropStaleHover(QWidget* button) {
    if (!button || !button->underMouse()) return;
    if (button->isVisible() && button->rect().contains(button->mapFromGlobal(QCursor::pos())))
        return;
    button->setAttribute(Qt::WA_UnderMouse, false);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    button->update();
}

// A ribbon button: its menu (opened on the press) and its command's dialog
// (run on the release) leave no hover highlight behind.
class RibbonButton : public QToolButton {
  public:
    using QToolButton::QToolButton;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        QPointer<QToolButton> self(this);
        QToolButton::mousePressEvent(event);
        dropStaleHover(self);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QPointer<QToolButton> self(this);
        QToolButton::mouseReleaseEvent(event);
        dropStaleHover(self);
    }
};

// A drop-down menu that opens below its button with its right edge under
// the button's right edge, kept on the button's screen.
class RightAlignedMenu : public QMenu {
  public:
    explicit RightAlignedMenu(QWidget* button) : QMenu(button), button_(button) {}

  protected:
    void showEvent(QShowEvent* event) override {
        QMenu::showEvent(event);
        if (!button_) return;
        int x = button_->mapToGlobal(QPoint(button_->width(), 0)).x() - width();
        if (const QScreen* screen = button_->screen()) {
            const QRect area = screen->availableGeometry();
            x = std::max(area.left(), std::min(x, area.right() + 1 - width()));
        }
        move(x, y());
    }

  private:
    QPointer<QWidget> button_;
};

// Every text a microphone status label can show, in both languages.
QStringList micStatusCandidates(int line) {
    QStringList texts;
    const std::uint8_t levels[][4] = {{255, 255, 199, 255}, {220, 10, 76, 200}, {200, 7, 100, 192},
                                      {180, 4, 12, 180},    {160, 1, 150, 170}, {0, 0, 0, 0}};
    for (int lang : {kChinese, kEnglish}) {
        for (const auto& l : levels) {
            const MicStatusTexts t = micStatusTexts({l[0], l[1], l[2], l[3]}, lang);
            texts << (line == 0 ? t.rfAf : line == 1 ? t.frequency : t.battery);
        }
    }
    return texts;
}

}  // namespace

CMyMFCRibbonBar::CMyMFCRibbonBar(int languageIndex, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ribbon"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromUtf8(kRibbonStyle));
    setContextMenuPolicy(Qt::PreventContextMenu);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 2, 3, 3);
    layout->setSpacing(0);
    buildTopRow(languageIndex);

    stack_ = new QStackedWidget(this);
    stack_->setObjectName(QStringLiteral("ribbonStack"));
    stack_->setAttribute(Qt::WA_StyledBackground);
    for (int c = 0; c < 2; ++c)
        stack_->addWidget(buildCategory(c, languageIndex));
    layout->addWidget(stack_);

    stack_->installEventFilter(this);
    applyLanguage(languageIndex);
    measureFit();

    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        tabs_->updateGeometry();  // a styled tab may change its size when selected
        stack_->setCurrentIndex(index);
        emit categoryChanged(index);
    });
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void CMyMFCRibbonBar::buildTopRow(int lang) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);

    // The application button and its menu.
    auto* appButton = new RibbonButton(this);
    appButton->setIcon(shellIcon(ShellPicture::ApplicationButton, 45));
    appButton->setIconSize(QSize(30, 30));
    appButton->setAutoRaise(true);
    appButton->setPopupMode(QToolButton::InstantPopup);
    appButton_ = appButton;
    appMenu_ = new QMenu(appButton);
    appMenu_->setMinimumWidth(300);
    addAction(appMenu_, id::kOpen, pick(lang, "打开(&O)", "Open(&O)"), false)
        ->setIcon(shellIcon(ShellPicture::LoadFile, 16));
    addAction(appMenu_, id::kSave, pick(lang, "保存(&S)", "Save(&S)"), false)
        ->setIcon(shellIcon(ShellPicture::SaveFile, 16));
    appMenu_->addSeparator();
    // Their texts name the step they would take; the view keeps them current.
    addAction(appMenu_, id::kUndo, pick(lang, "撤销", "Undo"), false)->setEnabled(false);
    addAction(appMenu_, id::kRedo, pick(lang, "重做", "Redo"), false)->setEnabled(false);
    appMenu_->addSeparator();
    addAction(appMenu_, id::kRoomRemote, pick(lang, "遥控网页", "Room remote"), false);
#ifdef V36_WITH_MQTT
    addAction(appMenu_, id::kBrokerRoom, pick(lang, "MQTT 服务器", "Broker"), false);
#endif
    addAction(appMenu_, id::kNoiseGate, noiseGateMenuText(lang), false);
    addAction(appMenu_, id::kMachineSettings, machineSettingsMenuText(lang), false);
    appMenu_->addSeparator();
    recentCaption_ = appMenu_->addSection(recentCaption(lang));
    recentEnd_ = appMenu_->addSeparator();
    addAction(appMenu_, id::kExit, pick(lang, "退出(&X)", "Exit(&X)"), false)
        ->setIcon(shellIcon(ShellPicture::Exit, 16));
    appButton->setMenu(appMenu_);
    connect(appMenu_, &QMenu::aboutToShow, this, &CMyMFCRibbonBar::updateQuery);
    row->addWidget(appButton);

    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("ribbonTabs"));
    tabs_->setDrawBase(false);
    tabs_->setExpanding(false);
    tabs_->setUsesScrollButtons(false);
    tabs_->setElideMode(Qt::ElideNone);
    tabs_->addTab(v36::categoryName(kInputCategory, lang));
    tabs_->addTab(v36::categoryName(kOutputCategory, lang));
    tabs_->installEventFilter(this);
    row->addWidget(tabs_, 0, Qt::AlignBottom);
    row->addStretch(1);

    auto menuButton = [&](int id, const QString& text, std::initializer_list<const char*> items,
                          int firstItem) {
        QToolButton* b = addButton(id, text, this);
        b->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new RightAlignedMenu(b);
        int itemId = firstItem;
        for (const char* item : items)
            addAction(menu, itemId++, QString::fromUtf8(item), true);
        menu->setLayoutDirection(Qt::LeftToRight);
        b->setMenu(menu);
        menus_.insert(id, menu);
        connect(menu, &QMenu::aboutToShow, this, &CMyMFCRibbonBar::updateQuery);
        row->addWidget(b);
    };
    menuButton(id::kHdmiMenu, QStringLiteral("HDMI"), {"HDMI1", "HDMI2", "HDMI3", "HDMI4"},
               id::kHdmi1);
    menuButton(id::kMusicSourceMenu, pick(lang, "音乐源", "Music Source"),
               {"SPDIF", "HDMI", "Bluetooth"}, id::kMusicSource1);
    row->addWidget(addButton(id::kMusicAgc, pick(lang, "音乐AGC", "Music AGC"), this));
    row->addWidget(addButton(id::kResetUnit, pick(lang, "机器复位", "Reset"), this));
    row->addWidget(addButton(id::kRemoteLearning, pick(lang, "遥控学习", "Remote control"), this));
    row->addWidget(addButton(id::kAutoSub, pick(lang, "自动超低", "Auto SUB"), this));
    row->addWidget(addButton(id::kLanguage, QString::fromUtf8("中/EN"), this));
    QToolButton* about = addButton(id::kAbout, QString(), this);
    about->setIcon(shellIcon(ShellPicture::About, 16));
    row->addWidget(about);

    static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

QWidget* CMyMFCRibbonBar::buildCategory(int category, int lang) {
    const RibbonIds& ids = kRibbonIds[static_cast<std::size_t>(category)];
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(3, 3, 3, 3);
    row->setSpacing(3);

    auto column = [](std::initializer_list<QWidget*> widgets) {
        auto* w = new QWidget;
        auto* v = new QVBoxLayout(w);
        v->setContentsMargins(2, 2, 2, 2);
        v->setSpacing(2);
        for (QWidget* child : widgets)
            v->addWidget(child, 0, Qt::AlignLeft);
        v->addStretch(1);
        return w;
    };
    // 0: microphone volume.
    row->addWidget(
        makePanel(category, 0, lang,
                  column({addLabel(ids.micLabel, pick(lang, "话筒音量:100", "Mic    Vol: 100")),
                          addSlider(ids.micSlider, w::micVolume, 90),
                          addCheck(ids.micMute, pick(lang, "静音", "Mute"))})));
    // 1: effect volume.
    row->addWidget(makePanel(
        category, 1, lang,
        column({addLabel(ids.effectLabel, pick(lang, "总效果音量:100", "Effect    Vol:100")),
                addSlider(ids.effectSlider, w::effectVolume, 90)})));
    // 2: music volume.
    row->addWidget(
        makePanel(category, 2, lang,
                  column({addLabel(ids.musicLabel, pick(lang, "音乐音量:100", "Music Vol:100")),
                          addSlider(ids.musicSlider, w::musicVolume, 90),
                          addCheck(ids.musicMute, pick(lang, "静音", "Mute"))})));
    // 3: music noise gate and pitch.
    row->addWidget(
        makePanel(category, 3, lang,
                  column({addLabel(ids.gateLabel, pick(lang, "音乐噪声门:100", "Noisegate:   100")),
                          addSlider(ids.gateSlider, w::musicGateThreshold, 100),
                          addSlider(ids.pitchSlider, w::musicPitch, 100)})));

    // 4 and 5: memory modes and mode files.
    auto modeMenu = [&](int menuId, int firstItem) {
        QMenu* menu = menus_.value(menuId);
        if (!menu) {
            menu = new QMenu(this);
            for (int i = 0; i < 4; ++i)
                addAction(menu, firstItem + i, QStringLiteral("M%1").arg(i + 1), true);
            menus_.insert(menuId, menu);
            connect(menu, &QMenu::aboutToShow, this, &CMyMFCRibbonBar::updateQuery);
        }
        return menu;
    };
    auto modePanel = [&](int panel, int bigId, const QString& bigText, ShellPicture bigPicture,
                         int menuId, int firstItem, int smallId, const QString& smallText,
                         ShellPicture smallPicture) {
        auto* w = new QWidget;
        auto* h = new QHBoxLayout(w);
        h->setContentsMargins(2, 2, 2, 2);
        h->setSpacing(2);
        QToolButton* big = addButton(bigId, bigText, w);
        big->setIcon(shellIcon(bigPicture, 32));
        big->setIconSize(QSize(32, 32));
        big->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        big->setPopupMode(QToolButton::InstantPopup);
        big->setMenu(modeMenu(menuId, firstItem));
        QToolButton* small = addButton(smallId, smallText, w);
        small->setIcon(shellIcon(smallPicture, 16));
        small->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        compactable_.append(small);
        h->addWidget(big);
        h->addWidget(small, 0, Qt::AlignTop);
        row->addWidget(makePanel(category, panel, lang, w));
    };
    modePanel(4, ids.loadMode, pick(lang, "载入模式", "LoadMode"), ShellPicture::LoadMode, 456,
              id::kRecallMode1, ids.loadFile, pick(lang, "载入文件", "LoadFile"),
              ShellPicture::LoadFile);
    modePanel(5, ids.saveMode, pick(lang, "保存模式", "SaveMode"), ShellPicture::SaveMode, 457,
              id::kStoreMode1, ids.saveFile, pick(lang, "保存文件", "SaveFile"),
              ShellPicture::SaveFile);

    // 6 and 7: wireless microphones. Each label is as wide as the widest
    // text it can show, so that the panels keep their places while the bars
    // change.
    for (int mic = 0; mic < 2; ++mic) {
        const auto& statusIds = mic == 0 ? ids.mic1Status : ids.mic2Status;
        const QString initial[3] = {QString::fromUtf8("RF:■■■■■ AF:■■■■■"),
                                    pick(lang, "频率:660.00MHz", "Freq660.00MHz"),
                                    pick(lang, "电   量:■■■■■", "Battary:■■■■■")};
        QList<QWidget*> labels;
        for (int line = 0; line < 3; ++line) {
            QLabel* label = addLabel(statusIds[static_cast<std::size_t>(line)], initial[line]);
            int width = 0;
            for (const QString& text : micStatusCandidates(line))
                width = std::max(width, label->fontMetrics().horizontalAdvance(text));
            label->setMinimumWidth(width);
            labels.append(label);
        }
        row->addWidget(
            makePanel(category, 6 + mic, lang, column({labels[0], labels[1], labels[2]})));
    }
    row->addStretch(1);
    return page;
}

QWidget* CMyMFCRibbonBar::makePanel(int category, int panel, int lang, QWidget* content) {
    auto* frame = new QWidget;
    frame->setObjectName(QStringLiteral("ribbonPanel"));
    frame->setAttribute(Qt::WA_StyledBackground);
    auto* v = new QVBoxLayout(frame);
    v->setContentsMargins(1, 1, 1, 1);
    v->setSpacing(0);
    v->addWidget(content, 1);
    auto* caption = new QLabel(panelNameAtStart(panel, lang), frame);
    caption->setObjectName(QStringLiteral("panelCaption"));
    caption->setAlignment(Qt::AlignCenter);
    v->addWidget(caption);
    panelCaptions_[static_cast<std::size_t>(category)][static_cast<std::size_t>(panel)] = caption;
    panels_[static_cast<std::size_t>(category)][static_cast<std::size_t>(panel)] = frame;
    return frame;
}

QLabel* CMyMFCRibbonBar::addLabel(int id, const QString& text) {
    auto* label = new QLabel(text);
    setControlId(label, id);
    label->setTextFormat(Qt::PlainText);
    elements_.insert(id, label);
    return label;
}

CMFCRibbonStepSlider* CMyMFCRibbonBar::addSlider(int id, int word, int width) {
    const ControlInfo& range = controlInfo(word);
    auto* slider = new CMFCRibbonStepSlider(id, static_cast<int>(range.lo),
                                            static_cast<int>(range.hi), width, nullptr);
    connect(slider, &CMFCRibbonStepSlider::command, this, &CMyMFCRibbonBar::command);
    elements_.insert(id, slider);
    return slider;
}

QWidget* CMyMFCRibbonBar::addCheck(int id, const QString& text) {
    auto* check = new QCheckBox(text);
    setControlId(check, id);
    check->setFocusPolicy(Qt::NoFocus);
    connect(check, &QCheckBox::clicked, this, [this, id] { emit command(id); });
    elements_.insert(id, check);
    return check;
}

QToolButton* CMyMFCRibbonBar::addButton(int id, const QString& text, QWidget* parent) {
    auto* button = new RibbonButton(parent);
    setControlId(button, id);
    button->setText(text);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, id, button] {
        if (!button->menu()) emit command(id);
    });
    elements_.insert(id, button);
    return button;
}

QAction* CMyMFCRibbonBar::addAction(QMenu* menu, int id, const QString& text, bool checkable) {
    QAction* action = menu->addAction(text);
    action->setCheckable(checkable);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { emit command(id); });
    actions_.insert(id, action);
    return action;
}

int CMyMFCRibbonBar::activeCategory() const {
    return tabs_->currentIndex();
}

void CMyMFCRibbonBar::setActiveCategory(int category) {
    tabs_->setCurrentIndex(category);
}

QString CMyMFCRibbonBar::categoryName(int category) const {
    return tabs_->tabText(category);
}

void CMyMFCRibbonBar::setCategoryName(int category, const QString& name) {
    tabs_->setTabText(category, name);
    tabs_->updateGeometry();
}

QString CMyMFCRibbonBar::panelName(int category, int panel) const {
    if (category < 0 || category > 1 || panel < 0 || panel >= kPanelCount) return {};
    return panelCaptions_[static_cast<std::size_t>(category)][static_cast<std::size_t>(panel)]
        ->text();
}

void CMyMFCRibbonBar::setPanelName(int category, int panel, const QString& name) {
    if (category < 0 || category > 1 || panel < 0 || panel >= kPanelCount) return;
    panelCaptions_[static_cast<std::size_t>(category)][static_cast<std::size_t>(panel)]->setText(
        name);
}

QWidget* CMyMFCRibbonBar::panelWidget(int category, int panel) const {
    if (category < 0 || category > 1 || panel < 0 || panel >= kPanelCount) return nullptr;
    return panels_[static_cast<std::size_t>(category)][static_cast<std::size_t>(panel)];
}

CMFCRibbonStepSlider* CMyMFCRibbonBar::slider(int id) const {
    return qobject_cast<CMFCRibbonStepSlider*>(elements_.value(id));
}

QString CMyMFCRibbonBar::elementText(int id) const {
    if (QAction* a = actions_.value(id)) return a->text();
    QWidget* w = elements_.value(id);
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    return {};
}

void CMyMFCRibbonBar::setElementText(int id, const QString& text) {
    if (QAction* a = actions_.value(id)) {
        a->setText(text);
        return;
    }
    if (QWidget* w = elements_.value(id)) setControlText(w, text);
}

void CMyMFCRibbonBar::setChecked(int id, bool checked) {
    if (QAction* a = actions_.value(id)) {
        a->setChecked(checked);
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(elements_.value(id))) {
        button->setChecked(checked);
    }
}

bool CMyMFCRibbonBar::isChecked(int id) const {
    if (QAction* a = actions_.value(id)) return a->isChecked();
    if (auto* button = qobject_cast<QAbstractButton*>(elements_.value(id)))
        return button->isChecked();
    return false;
}

void CMyMFCRibbonBar::setElementEnabled(int id, bool enabled) {
    if (QAction* a = actions_.value(id)) {
        a->setEnabled(enabled);
        return;
    }
    if (QWidget* w = elements_.value(id)) w->setEnabled(enabled);
}

void CMyMFCRibbonBar::setRecentFiles(const QStringList& files) {
    recent_ = files;
    for (QAction* a : recentActions_) {
        appMenu_->removeAction(a);
        a->deleteLater();
    }
    recentActions_.clear();
    int n = 1;
    for (const QString& path : files) {
        auto* action = new QAction(
            QStringLiteral("&%1 %2").arg(n++).arg(QFileInfo(path).fileName()), appMenu_);
        action->setToolTip(path);
        action->setStatusTip(path);
        connect(action, &QAction::triggered, this, [this, path] { emit recentFileChosen(path); });
        appMenu_->insertAction(recentEnd_, action);
        recentActions_.append(action);
    }
}

void CMyMFCRibbonBar::recalcLayout() {
    measureFit();
    if (layout()) layout()->activate();
    updateGeometry();
    update();
}

QString CMyMFCRibbonBar::recentFilesCaption() const {
    return recentCaption_->text();
}

void CMyMFCRibbonBar::applyLanguage(int lang) {
    recentCaption_->setText(recentCaption(lang));
    appButton_->setToolTip(pick(lang, "文件", "File"));
    element(id::kAbout)->setToolTip(pick(lang, "关于 DSP-V36", "About DSP-V36"));
}

void CMyMFCRibbonBar::measureFit() {
    // The width the widest category needs with every text shown, from fresh
    // size hints.
    setCompact(false);
    int needed = 0;
    for (int c = 0; c < stack_->count(); ++c) {
        QWidget* page = stack_->widget(c);
        const auto widgets = page->findChildren<QWidget*>();
        for (QWidget* w : widgets) {
            w->updateGeometry();
            if (w->layout()) w->layout()->invalidate();
        }
        page->layout()->invalidate();
        needed = std::max(needed, page->layout()->totalMinimumSize().width());
    }
    fullWidth_ = needed;
    setCompact(fullWidth_ > stack_->contentsRect().width());
}

void CMyMFCRibbonBar::setCompact(bool compact) {
    for (QToolButton* button : std::as_const(compactable_)) {
        button->setToolButtonStyle(compact ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
        button->setToolTip(compact ? QString(button->text()).remove(QLatin1Char('&')) : QString());
    }
}

bool CMyMFCRibbonBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == stack_ && event->type() == QEvent::Resize && fullWidth_ > 0) {
        // Too narrow for every text: the file buttons show their icons alone.
        setCompact(fullWidth_ > stack_->contentsRect().width());
    }
    if (watched == tabs_) {
        if (event->type() == QEvent::Wheel) return true;  // the wheel never switches categories
        if (event->type() == QEvent::MouseButtonDblClick) {
            // A double click on a category tab is swallowed.
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int tab = tabs_->tabAt(mouse->position().toPoint());
            if (tab >= 0) {
                const QString name = tabs_->tabText(tab);
                if (isInputCategoryName(name) || isOutputCategoryName(name)) return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CMyMFCRibbonBar::wheelEvent(QWheelEvent* event) {
    event->accept();
}

void CMyMFCRibbonBar::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

}  // namespace v36
