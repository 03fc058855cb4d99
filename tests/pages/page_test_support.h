#pragma once

// The fixture of the page tests: the application with one page shown.
#include <gtest/gtest.h>

#include "pages/factories.h"
#include "shell_fixture.h"

namespace v36::test {

// The whole application on the virtual unit with one page of this build
// shown.
template <typename Page, PageKind kKind>
class PageTest : public ShellTest {
  protected:
    Page& open(int language = kEnglish) {
        start({}, language, pageFactories());
        EXPECT_TRUE(waitIdleConnected());
        app_->ShowPage(kKind, 0);
        auto* page = dynamic_cast<Page*>(view().currentPage());
        EXPECT_NE(page, nullptr);
        return *page;
    }
    // The edits posted so far have reached the unit.
    void settle() {
        QCoreApplication::processEvents();
        app_->writer().waitIdle();
    }
};

}  // namespace v36::test
