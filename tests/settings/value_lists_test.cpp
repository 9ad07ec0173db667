#include "value_lists.h"

#include <gtest/gtest.h>

using namespace value_lists;

TEST(ValueLists, PositionsOutsideAListFallBackToTheDefault)
{
    EXPECT_EQ(at(frequencies, 7, 7), 44100u);
    EXPECT_EQ(at(frequencies, 0, 7), 8000u);
    EXPECT_EQ(at(frequencies, 8, 7), 48000u);
    EXPECT_EQ(at(frequencies, 9, 7), 44100u);
    EXPECT_EQ(at(frequencies, -1, 7), 44100u);
    EXPECT_EQ(at(bitrates, 16, 11), 320);
    EXPECT_EQ(at(bitrates, 17, 11), 128);
    EXPECT_EQ(at(bitrates, std::numeric_limits<int>::min(), 11), 128);
    // Even a broken default never indexes outside.
    EXPECT_EQ(at(channel_names, 5, 9), std::string("Mono"));
    EXPECT_EQ(safe_position(46, wma_preset_count, 9), 46);
    EXPECT_EQ(safe_position(47, wma_preset_count, 9), 9);
}

TEST(ValueLists, WmaListsHaveTheirDuplicatesAndOddSpellings)
{
    ASSERT_EQ(wma_presets().size(), 47u);
    ASSERT_EQ(wma_profile_names().size(), 47u);
    EXPECT_STREQ(wma_presets()[20], wma_presets()[22]);
    EXPECT_STREQ(wma_profile_names()[20], wma_profile_names()[22]);
    EXPECT_STREQ(wma_profile_names()[17], "WMA9 44100Hz, Mono  20KBPS  CBR");
    EXPECT_STREQ(wma_presets()[34], "WMA9 8KHz,  12Kbps, Stereo, CBR");
    EXPECT_STREQ(wma_presets()[9], "WMA9 44KHz, 128Kbps, Stereo, CBR");
    EXPECT_STREQ(wma_profile_names()[46], "WMA9 44100Hz  Stereo  Lossless");
    EXPECT_EQ(frequency_items().first(), QStringLiteral("8000 Hz"));
    EXPECT_EQ(bitrate_items().last(), QStringLiteral("320 Kbps"));
    EXPECT_EQ(sample_size_items(),
              QStringList({QStringLiteral("8 bps"), QStringLiteral("16 bps")}));
}
