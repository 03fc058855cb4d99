// The shell builds every page kind through the factories of this build.
#include "pages/factories.h"
#include "app/page.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

TEST_F(ShellTest, EveryPageKindOpensOnTheVirtualUnit) {
    start({}, kEnglish, pageFactories());
    ASSERT_TRUE(waitIdleConnected());
    for (PageKind kind : {PageKind::Music, PageKind::Effects, PageKind::Output, PageKind::Delay,
                          PageKind::SoundField, PageKind::Compressor}) {
        app_->ShowPage(kind, kind == PageKind::Output ? 5 : 0);
        ASSERT_NE(view().currentPage(), nullptr);
        EXPECT_EQ(view().currentPage()->kind(), kind);
    }
}

}  // namespace
}  // namespace v36::test
