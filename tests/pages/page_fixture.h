#pragma once

// A page of the whole application on the virtual unit, and what the tests
// of the pages read back from the unit.
#include <QApplication>
#include <QCoreApplication>
#include <QWheelEvent>
#include <vector>

#include "app/page.h"
#include "dsp/filter_design.h"
#include "pages/factories.h"
#include "protocol/report.h"
#include "shell_fixture.h"

namespace v36::test {

class PageTest : public ShellTest {
  protected:
    // Starts the application, waits for the unit, shows the page and clears
    // the traffic so far; null when any of it fails.
    template <class Page>
    Page* openPage(PageKind kind, int channel, int language = kEnglish) {
        start({}, language, pageFactories());
        if (!waitIdleConnected()) return nullptr;
        app_->ShowPage(kind, channel);
        auto* page = qobject_cast<Page*>(view().currentPage());
        if (page) page->window()->show();
        settle();
        unit().clearTraffic();
        return page;
    }
    // Events handled and every queued write sent.
    void settle() {
        QCoreApplication::processEvents();
        app_->writer().waitIdle();
    }
    std::vector<Report> received() {
        settle();
        return unit().received();
    }
    // A section's record as the unit holds it, once every write is sent.
    BandRecord unitRecord(int bank, int section) {
        settle();
        const auto regs = unit().registers();
        return BandRecord::decode(regs.data() + recordOffset(bank, section));
    }
    void storeRecord(int bank, int section, const BandRecord& record) {
        const auto bytes = record.encode();
        store().registers.write(static_cast<std::size_t>(recordOffset(bank, section)), bytes.data(),
                                bytes.size());
    }
    // A wheel notch (+120 away from the user) over `under`.
    static void turnWheel(QWidget* under, int delta) {
        const QPointF at(5, 5);
        QWheelEvent wheel(at, under->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(under, &wheel);
    }
};

}  // namespace v36::test
