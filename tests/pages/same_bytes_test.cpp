// One value gives the same bytes from every front end: a page or the
// ribbon, v36ctl, a phone and the core edit, each on a virtual unit read
// first, send the same parameter and register reports.
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "app/ribbon_texts.h"
#include "controls/bmp_slider.h"
#include "controls/grid_list.h"
#include "page_fixture.h"
#include "pages/compressor_page.h"
#include "pages/delay_dlg.h"
#include "pages/dialog_music.h"
#include "pages/dialog_output.h"
#include "pages/eq_editor.h"
#include "pages/switch_level_dlg.h"
#include "phone/phone_hub.h"
#include "protocol/eq_access.h"
#include "protocol/report.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36::test {
namespace {

// The reports an edit makes: parameter writes and register writes.
std::vector<Report> editReports(const std::vector<Report>& reports) {
    std::vector<Report> out;
    for (const Report& r : reports)
        if (r[1] == cmd::kSetParam || r[1] == cmd::kWriteRegisters) out.push_back(r);
    return out;
}

// A context on a virtual unit of its own, read as the front ends read it.
struct ReadUnit {
    ReadUnit() {
        VirtualUnitConfig config;
        config.latency = std::chrono::microseconds(100);
        unit = &ctx.useVirtualUnit(config);
        EXPECT_TRUE(ctx.openLink().ok());
        SyncTimings t;
        t.pullStart = t.afterRead = t.beforeDone = t.afterDone = std::chrono::milliseconds(1);
        sync.setTimings(t);
        sync.syncFromUnit();
        ctx.writer.waitIdle();
        unit->clearTraffic();
    }
    std::vector<Report> sent() {
        ctx.writer.waitIdle();
        // The last report's answer is in once a query has been answered.
        ctx.senders.sendCommand({cmd::kQueryMode, -1});
        return editReports(unit->received());
    }
    DeviceContext ctx;
    VirtualUnit* unit = nullptr;
    SyncWorker sync{ctx.store, ctx.link, ctx.dispatcher};
};

std::vector<Report> viaCore(const std::function<Edit(const ParamStore&)>& edit) {
    ReadUnit u;
    u.ctx.editor.apply(edit(u.ctx.store));
    return u.sent();
}

std::vector<Report> viaPhone(const std::string& message) {
    ReadUnit u;
    phone::DirectEditor editor(
        u.ctx.editor, [&u] { return u.ctx.unitAttached(); }, [](int) { return std::string(); });
    phone::PhoneHub hub(u.ctx.store, editor, "123456");
    phone::Outbox out;
    const int id = hub.open("192.0.2.1", out);
    hub.receive(id, R"({"pair": "123456"})", out);
    hub.receive(id, message, out);
    return u.sent();
}

std::vector<Report> viaCli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(V36CTL_PATH),
            QStringList{QStringLiteral("--simulate"), QStringLiteral("--trace")} + args);
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    std::vector<Report> out;
    for (const QByteArray& line : p.readAllStandardError().split('\n')) {
        if (!line.startsWith("TX ")) continue;
        const QList<QByteArray> hex = line.mid(3).split(' ');
        Report r{};
        for (qsizetype i = 0; i < hex.size() && i < static_cast<qsizetype>(r.size()); ++i)
            r[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(hex[i].toUInt(nullptr, 16));
        out.push_back(r);
    }
    return editReports(out);
}

struct Case {
    const char* name;   // the word (or "eq")
    QStringList cli;    // v36ctl's arguments after --simulate --trace
    std::string phone;  // the phone's message
    std::function<Edit(const ParamStore&)> core;
    // Drives the window: the page or ribbon control a user moves.
    std::function<void(PageTest&)> page;
};

Edit word(const ParamStore& store, const char* name, double value) {
    return wordEdit(store, *findWord(name), value);
}

class SameBytesTest : public PageTest {
  protected:
    void open(PageKind kind, int channel) {
        app_->ShowPage(kind, channel);
        settle();
    }
    template <class Page>
    Page* page() {
        return qobject_cast<Page*>(view().currentPage());
    }
};

TEST_F(SameBytesTest, EveryFrontEndSendsTheSameReports) {
    start({}, kEnglish, pageFactories());
    ASSERT_TRUE(waitIdleConnected());
    auto self = this;
    const Case cases[] = {
        {"micVolume",
         {"set", "micVolume", "55"},
         R"({"set": "micVolume", "value": 55})",
         [](const ParamStore& s) { return word(s, "micVolume", 55); },
         [self](PageTest&) { self->ribbon().slider(kRibbonIds[0].micSlider)->setValue(55); }},
        {"outSub.level[3]",
         {"set", "outSub.level[3]", "150"},
         R"({"set": "outSub.level[3]", "value": 150})",
         [](const ParamStore& s) { return word(s, "outSub.level[3]", 150); },
         [self](PageTest&) {
             self->open(PageKind::Output, 2);
             CXBmpSlider* slider = self->page<CDialogOutput>()->levelSlider(3);
             slider->setPosition(50);
             emit slider->sliderChanged(slider->controlId(), 50);
         }},
        {"outMain.compRatio",
         {"set", "outMain.compRatio", "4"},
         R"({"set": "outMain.compRatio", "value": 4})",
         [](const ParamStore& s) { return word(s, "outMain.compRatio", 4); },
         [self](PageTest&) {
             self->open(PageKind::Compressor, 0);
             CXBmpSlider* s = self->page<CCompDlg>()->slider(0, CCompDlg::Ratio);
             s->setPosition(40);
             emit s->sliderChanged(s->controlId(), 40);
         }},
        {"outCenter.delayMs",
         {"set", "outCenter.delayMs[0]", "12.3"},
         R"({"set": "outCenter.delayMs[0]", "value": 12.3})",
         [](const ParamStore& s) { return word(s, "outCenter.delayMs[0]", 12.3); },
         [self](PageTest&) {
             self->open(PageKind::Delay, 0);
             QLineEdit* box = self->page<CDelayDlg>()->delayBox(2);
             box->setText(QStringLiteral("12.3"));
             QTest::keyClick(box, Qt::Key_Return);
         }},
        {"outRear.delayFilterMode[1]",
         {"set", "outRear.delayFilterMode[1]", "1"},
         R"({"set": "outRear.delayFilterMode[1]", "value": 1})",
         [](const ParamStore& s) { return word(s, "outRear.delayFilterMode[1]", 1); },
         [self](PageTest&) {
             self->open(PageKind::Delay, 0);
             self->page<CDelayDlg>()->channelRadio(5)->click();
         }},
        {"echoATime (predelay)",
         {"set", "echoATime[0]", "12"},
         R"({"set": "echoATime[0]", "value": 12})",
         [](const ParamStore& s) { return word(s, "echoATime[0]", 12); },
         [self](PageTest&) {
             self->open(PageKind::Music, 0);
             auto* music = self->page<CDialogMusic>();
             music->selectInput(kEqMicA);
             music->selectRow(4);
             music->applyRowValue(24);
         }},
        {"reverbAParam18 (reverb time)",
         {"set", "reverbAParam18", "37"},
         R"({"set": "reverbAParam18", "value": 37})",
         [](const ParamStore& s) { return word(s, "reverbAParam18", 37); },
         [self](PageTest&) {
             self->open(PageKind::Music, 0);
             auto* music = self->page<CDialogMusic>();
             music->selectInput(kEqMicA);
             music->selectRow(2);
             music->applyRowValue(37);
         }},
        {"micAFreq (shift)",
         {"set", "micAFreq", "3"},
         R"({"set": "micAFreq", "value": 3})",
         [](const ParamStore& s) { return word(s, "micAFreq", 3); },
         [self](PageTest&) {
             self->open(PageKind::Music, 0);
             auto* music = self->page<CDialogMusic>();
             music->selectInput(kEqMicA);
             music->selectRow(8);
             music->applyRowValue(3);
         }},
        {"musicAgcLevel",
         {"set", "musicAgcLevel", "-9.5"},
         R"({"set": "musicAgcLevel", "value": -9.5})",
         [](const ParamStore& s) { return word(s, "musicAgcLevel", -9.5); },
         [self](PageTest&) {
             auto* dialog =
                 qobject_cast<CSwitchLevelDlg*>(self->app_->showToolDialog(ToolDialog::MusicAgc));
             dialog->slider()->setPosition(-95);
             emit dialog->slider()->sliderChanged(dialog->slider()->controlId(), -95);
             dialog->close();
         }},
        {"music EQ band 5",
         {"eq", "set", "0", "5", "--gain", "-4.5"},
         R"({"band": {"eq": 0, "band": 5, "gain": -4.5}})",
         [](const ParamStore& s) {
             EqGraphModel graph;
             loadEqFromStore(s, graph, kEqMusic);
             graph.setGain(4, -4.5f);
             return bandEdit(kEqMusic, graph.bands(), 4);
         },
         [self](PageTest&) {
             self->open(PageKind::Music, 0);
             auto* music = self->page<CDialogMusic>();
             music->selectInput(kEqMusic);
             CGridListCtrl* grid = music->eqEditor()->grid();
             ASSERT_TRUE(grid->beginEdit(4, CEqEditor::kGainColumn));
             for (auto* edit : grid->viewport()->findChildren<QLineEdit*>()) {
                 if (!edit->isVisible()) continue;
                 QTest::keyClicks(edit, QStringLiteral("-4.5"));
                 QTest::keyClick(edit, Qt::Key_Return);
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The window: the control a user moves, on the unit it read.
        unit().clearTraffic();
        c.page(*this);
        const std::vector<Report> window = editReports(received());
        ASSERT_FALSE(window.empty());
        EXPECT_EQ(viaCore(c.core), window);
        EXPECT_EQ(viaPhone(c.phone), window);
        EXPECT_EQ(viaCli(c.cli), window);
        // The next case starts from the unit's own state again.
        app_->edits().undo();
        settle();
    }
}

}  // namespace
}  // namespace v36::test
