// Every drawn control with sample data, for a person to look at.
//   controls_gallery            opens a window
//   controls_gallery --png DIR  renders each control (and the whole gallery) to DIR and exits
#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "controls/bmp_slider.h"
#include "controls/compress_panel.h"
#include "controls/delay_panel.h"
#include "controls/eq_panel.h"
#include "controls/grid_list.h"
#include "controls/image_button.h"
#include "controls/peak_meter.h"
#include "controls/small_eq_panel.h"
#include "controls/ss_volume_panel.h"

namespace {

using v36::CEqPanel;

// Selects band n as a click on its marker would.
void selectBand(CEqPanel& panel, int n) {
    const QPointF at = panel.markerPosition(n) - QPointF(0, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, panel.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, panel.mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &release);
}

struct Gallery {
    QWidget window;
    std::vector<std::pair<QString, QWidget*>> shots;

    QGroupBox* group(QLayout* into, const QString& title) {
        auto* box = new QGroupBox(title);
        into->addWidget(box);
        return box;
    }
    template <typename W>
    W* add(QLayout* layout, const QString& name, W* widget) {
        layout->addWidget(widget);
        shots.emplace_back(name, widget);
        return widget;
    }

    void build() {
        window.setWindowTitle(QStringLiteral("Controls gallery"));
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, QColor(240, 250, 255));
        window.setPalette(pal);
        window.setAutoFillBackground(true);
        auto* outer = new QVBoxLayout(&window);

        // EQ panels.
        {
            auto* box = group(outer, QStringLiteral("EQ panel"));
            auto* l = new QVBoxLayout(box);
            auto* main = add(l, QStringLiteral("eq_main"), new CEqPanel);
            main->setFixedSize(1000, 330);
            main->setLanguage(1);
            main->setEqNumber(v36::kEqMain);
            main->setBandCount(24);
            const std::array<float, 24> hz{25,   36,   50,   75,   100,  150,   200,   260,
                                           360,  485,  630,  860,  1088, 1396,  1680,  2160,
                                           2800, 3586, 5096, 6868, 8288, 11010, 14566, 20000};
            for (int n = 0; n < 24; ++n) {
                main->band(n).freq = hz[static_cast<std::size_t>(n)];
                main->band(n).gain = static_cast<float>(4.0 * std::sin(n * 0.7));
                v36::applyBandRules(main->band(n));
            }
            main->band(0).type = v36::kHighPass;
            main->band(0).q = 0.7f;
            main->band(23).type = v36::kHighShelf;
            main->band(23).q = 0.7f;
            main->band(23).gain = -4.0f;
            main->recomputeAll();
            selectBand(*main, 5);

            auto* row = new QHBoxLayout;
            l->addLayout(row);
            auto* music = add(row, QStringLiteral("eq_music_bypass"), new CEqPanel);
            music->setFixedSize(620, 300);
            music->setEqNumber(v36::kEqMusic);
            music->setBandCount(15);
            const std::array<float, 15> reset{25,   40,   63,   100,  160,  250,   400,  630,
                                              1000, 1600, 2500, 4000, 6300, 10000, 16000};
            for (int n = 0; n < 15; ++n)
                music->setFrequency(n, reset[static_cast<std::size_t>(n)]);
            music->setGain(2, 6.5f);
            music->setGain(12, -11.0f);
            music->setBypass(true);

            auto* sub = add(row, QStringLiteral("eq_sub"), new CEqPanel);
            sub->setFixedSize(620, 300);
            sub->setLanguage(1);
            sub->setEqNumber(v36::kEqSub);
            sub->setBandCount(20);
            const std::array<float, 5> points{20, 31, 40, 62, 100};
            for (int k = 0; k < 5; ++k)
                sub->setFrequency(k, points[static_cast<std::size_t>(k)]);
            sub->setGain(1, 5.0f);
            sub->setType(4, v36::kLowPass);
            sub->applyCrossoverFamily(0, 7);
            selectBand(*sub, 4);
        }

        auto* grid = new QGridLayout;
        outer->addLayout(grid);

        // Compact curves, sliders, meters.
        {
            auto* box = new QGroupBox(QStringLiteral("Compact EQ, sliders, meters"));
            grid->addWidget(box, 0, 0);
            auto* l = new QGridLayout(box);
            auto* small = new v36::CSmallEqPanel;
            small->setFixedSize(220, 110);
            small->setGain(1, 6.0f);
            small->setGain(4, -8.0f);
            small->setType(6, v36::kHighShelf);
            small->setGain(6, 5.0f);
            l->addWidget(small, 0, 0);
            shots.emplace_back(QStringLiteral("small_eq"), small);
            auto* veiled = new v36::CSmallEqPanel;
            veiled->setFixedSize(220, 110);
            veiled->setLineColor(QColor(100, 100, 100));
            veiled->setVeil(true);
            veiled->setPassOverlay(true);
            l->addWidget(veiled, 0, 1);
            shots.emplace_back(QStringLiteral("small_eq_pass"), veiled);

            auto* sliders = new QVBoxLayout;
            l->addLayout(sliders, 1, 0);
            for (int i = 0; i < 3; ++i) {
                auto* s = new v36::CXBmpSlider;
                s->setRange(0, 100);
                s->setPosition(20 + 30 * i);
                s->setBackgroundColor(QColor(240, 250, 255));
                s->setEnabled(i != 2);
                sliders->addWidget(s);
                shots.emplace_back(QStringLiteral("slider_%1").arg(i), s);
            }
            auto* v = new v36::CXBmpSlider(nullptr, v36::CXBmpSlider::Orientation::Vertical);
            v->setRange(-150, 150);
            v->setPosition(60);
            v->setBackgroundColor(QColor(240, 250, 255));
            l->addWidget(v, 1, 1, Qt::AlignLeft);
            shots.emplace_back(QStringLiteral("slider_vertical"), v);

            auto* meters = new QVBoxLayout;
            l->addLayout(meters, 2, 0, 1, 2);
            const std::array<int, 6> levels{40, 120, 175, 190, 215, 255};
            for (std::size_t i = 0; i < levels.size(); ++i) {
                auto* m = new v36::CPeakMeterCtrl;
                m->setFixedSize(200, 14);
                m->setBandCount(1);
                m->setLedCount(15);
                m->setBandCount(1);
                m->setMeterStyle(v36::CPeakMeterCtrl::kHorizontal);
                m->setBackgroundColor(QColor(240, 250, 255));
                m->setPeakLine(false);
                const std::array<int, 1> value{levels[i]};
                m->setData(value);
                m->releaseTick();
                m->setData(value);
                meters->addWidget(m);
                shots.emplace_back(QStringLiteral("meter_%1").arg(i), m);
            }
        }

        // Delay lanes and room.
        {
            auto* delay = new v36::CDelayPanel;
            delay->setFixedSize(560, 260);
            const std::array<float, 8> ms{3.0f, 3.0f, 7.5f, 12.0f, 24.5f, 24.5f, 40.0f, 100.0f};
            for (int i = 0; i < 8; ++i)
                delay->setValue(i, ms[static_cast<std::size_t>(i)]);
            grid->addWidget(delay, 0, 1);
            shots.emplace_back(QStringLiteral("delay"), delay);

            auto* room = new v36::CSSVolumePanel;
            room->setFixedSize(300, 260);
            room->setRoomSize(5.0f, 4.0f);
            room->setItemPosition(0.0f, -0.5f, 0);
            room->setItemPosition(-2.0f, 1.6f, 1);
            room->setItemPosition(0.0f, 1.8f, 2);
            room->setItemPosition(2.0f, 1.6f, 3);
            room->setItemPosition(-2.2f, -1.6f, 4);
            room->setItemPosition(1.2f, 1.9f, 5);
            room->setItemPosition(2.2f, -1.6f, 6);
            grid->addWidget(room, 0, 2);
            shots.emplace_back(QStringLiteral("room"), room);
        }

        // Compressors, buttons, grid list.
        {
            auto* box = new QGroupBox(QStringLiteral("Compressor, buttons, grid list"));
            grid->addWidget(box, 1, 0, 1, 3);
            auto* l = new QHBoxLayout(box);
            auto* comp = new v36::CCompressPanelPlus;
            comp->setFixedSize(300, 220);
            comp->setKnee(-90.0f);
            comp->setSlopeBelowKnee(1.0f);
            comp->setThreshold(-20.0f);
            comp->setSlopeAboveThreshold(0.25f);
            comp->setOn(true);
            l->addWidget(comp);
            shots.emplace_back(QStringLiteral("compressor"), comp);
            auto* off = new v36::CCompressPanelPlus;
            off->setFixedSize(300, 220);
            off->setKnee(-90.0f);
            off->setThreshold(-8.0f);
            off->setSlopeAboveThreshold(1.0f / 30.0f);
            l->addWidget(off);
            shots.emplace_back(QStringLiteral("compressor_off"), off);

            auto* buttons = new QVBoxLayout;
            l->addLayout(buttons);
            const std::array<const char*, 4> captions{"前置音箱", "中置音箱", "超低音箱", "Delay"};
            for (std::size_t i = 0; i < captions.size(); ++i) {
                auto* b = new v36::CGdipButton;
                b->loadStandard(v36::picture::kNavButton);
                b->loadAlternate(v36::picture::kNavButtonSelected);
                b->setCaption(QString::fromUtf8(captions[i]));
                b->setAlternate(i == 1);
                b->setEnabled(i != 3);
                b->setFixedSize(b->sizeHint());
                buttons->addWidget(b);
                shots.emplace_back(QStringLiteral("button_%1").arg(i), b);
            }
            auto* back = new v36::CGdipButton;
            back->loadStandard(v36::picture::kBackButton);
            back->setCaption(QStringLiteral("Back"));
            back->setFixedSize(back->sizeHint());
            buttons->addWidget(back);
            shots.emplace_back(QStringLiteral("button_back"), back);

            auto* list = new v36::CGridListCtrl;
            const QStringList types{"PEQ", "LP", "HP", "LS", "HS"};
            using Kind = v36::CGridListCtrl::ColumnKind;
            list->setColumns({{"", 30, Kind::ReadOnly, {}},
                              {"Type", 55, Kind::DropDown, types},
                              {"Gain", 60, Kind::Number, {}},
                              {"Freq", 60, Kind::Number, {}},
                              {"Q", 50, Kind::Number, {}}});
            list->setRows(7);
            const std::array<int, 7> hz{63, 125, 250, 500, 1000, 2300, 5000};
            for (int r = 0; r < 7; ++r) {
                list->setCellText(r, 1, QString::number(r + 1));
                list->setCellText(r, 2, types[r % 5]);
                list->setCellText(r, 3, QString::asprintf("%+-.1fdB", 1.5 * (r - 3)));
                list->setCellText(r, 4, QString::asprintf("%dHz", hz[static_cast<std::size_t>(r)]));
                list->setCellText(r, 5, QStringLiteral("1.41"));
            }
            list->setAllRowColors(QColor(0, 200, 255), QColor(20, 20, 20));
            list->setRowColors(3, QColor(255, 200, 0), QColor(20, 20, 20));
            list->setFixedSize(280, 190);
            l->addWidget(list);
            shots.emplace_back(QStringLiteral("grid_list"), list);
        }
    }
};

QImage render(QWidget& w, double dpr) {
    QImage image(QSize(static_cast<int>(w.width() * dpr), static_cast<int>(w.height() * dpr)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(QColor(240, 250, 255));
    w.render(&image);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QString pngDir;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QString::fromLocal8Bit(argv[i]) == QStringLiteral("--png")) {
            pngDir = QString::fromLocal8Bit(argv[i + 1]);
        }
    }
    if (!pngDir.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Gallery gallery;
    gallery.build();

    if (!pngDir.isEmpty()) {
        QDir dir(pngDir);
        if (!dir.mkpath(QStringLiteral("."))) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(pngDir));
            return 1;
        }
        gallery.window.show();
        QApplication::processEvents();
        int failures = 0;
        for (auto& [name, widget] : gallery.shots) {
            if (!render(*widget, 2.0).save(dir.filePath(name + QStringLiteral(".png")))) ++failures;
        }
        if (!render(gallery.window, 1.0).save(dir.filePath(QStringLiteral("gallery.png"))))
            ++failures;
        std::printf("%zu controls rendered to %s\n", gallery.shots.size(), qPrintable(pngDir));
        return failures == 0 ? 0 : 1;
    }

    // Live meters for the window.
    QTimer feed;
    int tick = 0;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        ++tick;
        int i = 0;
        for (auto& [name, widget] : gallery.shots) {
            if (auto* m = qobject_cast<v36::CPeakMeterCtrl*>(widget)) {
                m->startReleaseTimer(35);
                const std::array<int, 1> v{static_cast<int>(115 + 110 * std::sin(tick * 0.3 + i))};
                m->setData(v);
                ++i;
            }
        }
    });
    feed.start(300);
    QScrollArea scroll;
    scroll.setWidget(&gallery.window);
    scroll.resize(1100, 900);
    scroll.show();
    const int rc = QApplication::exec();
    scroll.takeWidget();
    return rc;
}
