#include "app/language.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>
#include <map>

#include "app/gbk.h"

namespace v36 {
namespace {

TEST(LanguageFile, ReadsGbkIniWithCommentsAndCrLf) {
    const QString text = QString::fromUtf8(
        "// a comment naming a template\r\n"
        "[Other]\r\nIDD1_1=not this section\r\n"
        "[String]\r\n"
        "//IDD_DIALOG_NG\r\n"
        "IDD423_title=噪声门设置\r\n"
        "IDD423_1178=话筒噪声门(启动时间过短容易产生噪声）\r\n"
        "IDD333_1190=High Freq \r\n"
        "IDD423_1=\r\n");
    const QByteArray gbk = encodeGbk(text);
    ASSERT_FALSE(gbk.isEmpty());
    const LanguageFile file = LanguageFile::fromGbk(gbk);
    EXPECT_EQ(file.title(423), QString::fromUtf8("噪声门设置"));
    EXPECT_EQ(file.text(423, 1178), QString::fromUtf8("话筒噪声门(启动时间过短容易产生噪声）"));
    EXPECT_EQ(file.text(333, 1190), QStringLiteral("High Freq "));  // the blank belongs to it
    EXPECT_TRUE(file.text(423, 1).isEmpty());
    EXPECT_TRUE(file.text(1, 1).isEmpty());
    EXPECT_TRUE(file.text(423, 2).isEmpty());
}

TEST(LanguageFile, CutsLongValuesAt999Characters) {
    const QString text =
        QStringLiteral("[String]\nIDD100_title=") + QString(1200, QLatin1Char('x')) + '\n';
    EXPECT_EQ(LanguageFile::fromText(text).title(100).size(), 999);
}

// Every shown template's keys, with their counts, in both built-in files.
TEST(LanguageFile, BuiltInFilesCoverEveryShownTemplate) {
    const std::map<int, int> counts = {{313, 45}, {333, 40}, {334, 25}, {335, 45},
                                       {346, 33}, {372, 4},  {373, 5},  {385, 38},
                                       {410, 4},  {421, 10}, {423, 9},  {424, 4}};
    for (int lang : {kChinese, kEnglish}) {
        const LanguageFile file = LanguageFile::builtIn(lang);
        ASSERT_FALSE(file.isEmpty()) << "language " << lang;
        int total = 0;
        for (const auto& [templ, count] : counts)
            total += count;
        EXPECT_EQ(file.size(), total) << "language " << lang;
    }
    const LanguageFile zh = LanguageFile::builtIn(kChinese);
    const LanguageFile en = LanguageFile::builtIn(kEnglish);
    EXPECT_EQ(zh.title(335), QString::fromUtf8("机器设置"));
    EXPECT_EQ(en.title(335), QStringLiteral("Host Setting"));
    EXPECT_EQ(zh.text(334, 1216), QString::fromUtf8("复位"));
    EXPECT_EQ(en.text(334, 1216), QStringLiteral("Reset all"));
    EXPECT_EQ(en.title(373), QStringLiteral("Learn remoter control "));
    EXPECT_EQ(en.text(423, 1178), QStringLiteral("Mic "));
    EXPECT_EQ(zh.text(313, 1068), QString::fromUtf8("话筒通道A"));
    EXPECT_EQ(en.text(421, 1068), QStringLiteral("Back"));  // the effects page's back button
}

TEST(LanguageFile, TheEnglishFileUsesNoFullWidthPunctuation) {
    const LanguageFile en = LanguageFile::builtIn(kEnglish);
    EXPECT_EQ(en.text(335, 1197), QStringLiteral("Mic and music vol:"));
    EXPECT_EQ(en.text(335, 1198), QStringLiteral("HDMI:"));
    EXPECT_EQ(en.text(335, 1199), QStringLiteral("Music source:"));
    const QString fullWidth = QString::fromUtf8("：，（）；。");
    for (auto it = en.entries().begin(); it != en.entries().end(); ++it) {
        for (const QChar c : fullWidth)
            EXPECT_FALSE(it.value().contains(c)) << it.key().toStdString();
    }
}

TEST(ApplyDialogTexts, RelabelsByControlIdAndLeavesTheRestAlone) {
    const LanguageFile file = LanguageFile::fromText(QString::fromUtf8(
        "[String]\nIDD424_title=Music AGC\nIDD424_1045=ON\nIDD424_1123=AGC Level\n"
        "IDD424_1005=\nIDD313_1070=Music\n"));
    QWidget dialog;
    auto* check = new QCheckBox(QString::fromUtf8("启用"), &dialog);
    setControlId(check, 1045);
    auto* group = new QGroupBox(&dialog);
    auto* inGroup = new QLabel(QString::fromUtf8("AGC电平"), group);  // below a group box
    setControlId(inGroup, 1123);
    auto* emptyKey = new QLabel(QStringLiteral("keep"), &dialog);
    setControlId(emptyKey, 1005);
    auto* noId = new QLabel(QStringLiteral("no id"), &dialog);
    // A nested page with its own template is not relabelled from outside.
    auto* nested = new QWidget(&dialog);
    nested->setProperty(kTemplateIdProperty, 313);
    auto* nestedLabel = new QLabel(QStringLiteral("inner"), nested);
    setControlId(nestedLabel, 1045);

    ApplyDialogTexts(&dialog, 424, file);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Music AGC"));
    EXPECT_EQ(check->text(), QStringLiteral("ON"));
    EXPECT_EQ(inGroup->text(), QStringLiteral("AGC Level"));
    EXPECT_EQ(emptyKey->text(), QStringLiteral("keep"));
    EXPECT_EQ(noId->text(), QStringLiteral("no id"));
    EXPECT_EQ(nestedLabel->text(), QStringLiteral("inner"));

    // An empty (missing) language file changes nothing.
    ApplyDialogTexts(&dialog, 424, LanguageFile());
    EXPECT_EQ(check->text(), QStringLiteral("ON"));
}

}  // namespace
}  // namespace v36
