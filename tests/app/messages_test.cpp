// The shell's own message texts in both languages.
#include "app/messages.h"

#include <gtest/gtest.h>

#include "app/language.h"

namespace v36 {
namespace {

TEST(Messages, EachTextFollowsTheWindowsLanguage) {
    const std::string unitText = "参数错误,代码0x:05,指令1:0x01,指令2:0x1E ";
    struct Case {
        int language;
        QString caption;
        QString question;
        QString parameterError;
    };
    const Case cases[] = {
        {kChinese, QString::fromUtf8("错误"), QString::fromUtf8("提示"),
         QString::fromStdString(unitText)},
        {kEnglish, QStringLiteral("Error"), QStringLiteral("Confirm"),
         QStringLiteral(
             "The unit reports a parameter error: code 0x05, command bytes 0x01 and 0x1E.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        EXPECT_EQ(errorCaption(c.language), c.caption);
        EXPECT_EQ(questionCaption(c.language), c.question);
        EXPECT_EQ(parameterErrorMessage(c.language, unitText), c.parameterError);
    }
    // A unit text of another shape is still shown whole.
    EXPECT_EQ(parameterErrorMessage(kEnglish, "odd"),
              QStringLiteral("The unit reports a parameter error: odd"));
    // A unit that may not be opened: the link's words in English, the
    // Chinese text naming the same node.
    const QString path = QStringLiteral("/dev/hidraw3");
    EXPECT_EQ(permissionDeniedText(kEnglish, path, QStringLiteral("no permission")),
              QStringLiteral("no permission"));
    EXPECT_TRUE(permissionDeniedText(kChinese, path, QStringLiteral("no permission"))
                    .startsWith(QString::fromUtf8("已找到设备 /dev/hidraw3，但没有权限打开它。")));
}

}  // namespace
}  // namespace v36
