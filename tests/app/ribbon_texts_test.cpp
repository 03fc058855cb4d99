#include "app/ribbon_texts.h"

#include <gtest/gtest.h>

namespace v36 {
namespace {

TEST(RibbonTexts, ReceiverFrequencyFollowsTheChannelSteps) {
    struct Case {
        int channel;
        const char* frequency;
    };
    // Steps 13, 78, 103..105 are skipped; above 199 and step 0 read 665.25.
    const Case cases[] = {{0, "665.25MHz"},   {1, "665.75MHz"},   {12, "671.25MHz"},
                          {13, "672.25MHz"},  {76, "703.75MHz"},  {77, "704.75MHz"},
                          {100, "716.25MHz"}, {101, "718.25MHz"}, {199, "767.25MHz"},
                          {200, "665.25MHz"}, {255, "665.25MHz"}};
    for (const Case& c : cases) {
        EXPECT_EQ(channelFrequency(static_cast<std::uint8_t>(c.channel)).toStdString(), c.frequency)
            << "channel " << c.channel;
    }
}

TEST(RibbonTexts, BarsCountBlocksAboveEachThreshold) {
    const QString none = QString::fromUtf8("_________");
    const QString one = QString::fromUtf8("■_______");
    const QString two = QString::fromUtf8("■■______");
    const QString five = QString::fromUtf8("■■■■■");
    EXPECT_EQ(rfBar(150), none);
    EXPECT_EQ(rfBar(151), one);
    EXPECT_EQ(rfBar(231), five);
    EXPECT_EQ(afBar(0), none);
    EXPECT_EQ(afBar(1), one);
    EXPECT_EQ(afBar(13), five);
    // The battery counts in eighths: 176 is 1408 (one block), 177 is 1416.
    EXPECT_EQ(batteryBar(176), one);
    EXPECT_EQ(batteryBar(177), two);
    EXPECT_EQ(batteryBar(0), none);
    EXPECT_EQ(batteryBar(255), five);
}

TEST(RibbonTexts, MicrophoneStatusLabelsInBothLanguages) {
    const MicStatusTexts en = micStatusTexts({231, 13, 13, 177}, 1);
    EXPECT_EQ(en.rfAf, QString::fromUtf8("RF:■■■■■ AF:■■■■■"));
    EXPECT_EQ(en.frequency, QStringLiteral("Freq:672.25MHz"));
    EXPECT_EQ(en.battery, QString::fromUtf8("Battary: ■■______"));
    const MicStatusTexts zh = micStatusTexts({0, 0, 200, 0}, 0);
    EXPECT_EQ(zh.frequency, QString::fromUtf8("频率:665.25MHz"));
    EXPECT_EQ(zh.battery, QString::fromUtf8("电   量:_________"));
}

TEST(RibbonTexts, VolumeLabelsAfterAMoveAndAfterALanguageSwitch) {
    struct Case {
        VolumeControl control;
        int lang;
        int value;
        const char* moved;     // a command or a refresh; as built at start for 100
        const char* switched;  // the relabelling of a language switch
    };
    const Case cases[] = {
        {VolumeControl::Mic, 1, 100, "Mic    Vol: 100", "Mic    Vol: 100"},
        {VolumeControl::Effect, 1, 100, "Effect    Vol:100", "Effect    Vol:100"},
        {VolumeControl::Music, 1, 5, "Music Vol:  5", "Music Vol:  5"},
        {VolumeControl::Gate, 1, 100, "Noisegate:   100", "Noisegate: 100"},
        {VolumeControl::Gate, 1, 7, "Noisegate:     7", "Noisegate:   7"},
        {VolumeControl::Mic, 0, 60, "话筒音量: 60", "话筒音量: 60"},
        {VolumeControl::Gate, 0, 100, "音乐噪声门:100", "音乐噪声门:100"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(volumeLabel(c.control, c.lang, c.value), QString::fromUtf8(c.moved));
        EXPECT_EQ(volumeLabelAfterSwitch(c.control, c.lang, c.value),
                  QString::fromUtf8(c.switched));
    }
}

TEST(RibbonTexts, LabelsAndCaptionsKeepTheirFormats) {
    EXPECT_EQ(volumeLabel(VolumeControl::Mic, 1, 7), QStringLiteral("Mic    Vol:   7"));
    EXPECT_EQ(volumeLabel(VolumeControl::Gate, 0, 100), QString::fromUtf8("音乐噪声门:100"));
    EXPECT_EQ(pitchCaptionMoved(1, -3), QStringLiteral("Music Pitch: -3"));
    EXPECT_EQ(pitchCaptionRefresh(1, -3), QStringLiteral("Music Pitch:-3"));
    // A language switch writes it as a refresh does: no sign appears.
    EXPECT_EQ(pitchCaptionRelabel(1, 2), QStringLiteral("Music Pitch:2"));
    EXPECT_EQ(pitchCaptionRelabel(0, 0), QString::fromUtf8("音乐变调:0"));
    EXPECT_EQ(panelNameAtStart(0, 1), QStringLiteral("Mic Vol"));
    EXPECT_EQ(panelNameAfterSwitch(0, 1), QStringLiteral("Mic  Vol"));
    EXPECT_EQ(panelNameAtStart(6, 0), QString::fromUtf8("话筒1状态"));
    EXPECT_EQ(panelNameAfterSwitch(6, 0), QString::fromUtf8("话筒 1 状态"));
    EXPECT_EQ(modePaneText(2, QStringLiteral("Music"), 1),
              QStringLiteral("Current Mode:Mode3[Music]"));
    EXPECT_EQ(modePaneText(0, QStringLiteral("KTV"), 0), QString::fromUtf8("当前模式:模式一[KTV]"));
    EXPECT_TRUE(isInputCategoryName(QStringLiteral("INPUT")));
    EXPECT_TRUE(isOutputCategoryName(QString::fromUtf8("输出调节")));
    EXPECT_FALSE(isOutputCategoryName(QStringLiteral("Input")));
}

}  // namespace
}  // namespace v36
