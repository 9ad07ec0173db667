// Record list entries: the selection rule and stale indexes.
#include "app_harness.h"

#include "recordlist.h"

#include <QTest>
#include <gtest/gtest.h>

namespace
{

TEST(RecordListEntries, SelectingMakesTheCurrentFileAndDeselectingKeepsIt)
{
    reset_settings();
    QTemporaryDir out;
    put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    AppHarness app;
    app.list->append_entry(QStringLiteral("a.mp3"), QStringLiteral("/x/a.mp3"),
                           QStringLiteral("00:00:01"));
    app.list->append_entry(QStringLiteral("a.mp3"), QStringLiteral("/x/a.mp3"),
                           QStringLiteral("00:00:01"));
    EXPECT_EQ(app.list->count(), 2) << "the same path twice gives two entries";

    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    EXPECT_EQ(app.main->record_item_index, 2);
    EXPECT_EQ(app.main->current_item_index, 2);

    app.list->show();
    const QRect row = app.list->lv->visualItemRect(app.list->lv->topLevelItem(1));
    QTest::mouseClick(app.list->lv->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(app.main->current_item_index, 1);
    EXPECT_EQ(app.main->current_file, QStringLiteral("/x/a.mp3"));
    EXPECT_EQ(app.main->record_item_index, 2);

    app.list->lv->clearSelection();
    EXPECT_EQ(app.list->selected_index(), -1);
    EXPECT_EQ(app.main->current_item_index, 1);

    app.click(QStringLiteral("Stop"));
    EXPECT_EQ(app.list->image_of(2), image_idle);
    EXPECT_NE(app.list->length_text_of(2), QStringLiteral("__:__:__"));
    // The tags went into the recording, not into the entry selected meanwhile.
    EXPECT_TRUE(app.dialogs->shown.empty());
    EXPECT_EQ(app.main->current_file, QStringLiteral("/x/a.mp3"));
}

TEST(RecordListEntries, IndexesThatNameNoEntryTouchNothing)
{
    Tfm_list list;
    list.append_entry(QStringLiteral("a"), QStringLiteral("/a"), QStringLiteral("00:00:01"));
    list.set_image(5, image_playing);
    list.set_image(-1, image_playing);
    list.set_length_text(1, QStringLiteral("x"));
    list.select(3);
    list.delete_entry(7);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.image_of(0), image_idle);
    EXPECT_EQ(list.length_text_of(0), QStringLiteral("00:00:01"));
    EXPECT_EQ(list.path_of(4), QString());
    EXPECT_EQ(list.selected_index(), -1);
    list.delete_all();
    EXPECT_EQ(list.count(), 0);
}

TEST(RecordListEntries, StateImagesAreFourDistinctPictures)
{
    std::vector<QImage> images;
    for (int i = 0; i < 4; ++i) {
        const QImage image = Tfm_list::state_image(i).pixmap(16, 16).toImage();
        EXPECT_EQ(image.size(), QSize(16, 16));
        for (const QImage &other : images)
            EXPECT_NE(image, other);
        images.push_back(image);
    }
    // Recording is red, playing green.
    const QColor recording = images[image_recording].pixelColor(8, 8);
    const QColor playing = images[image_playing].pixelColor(7, 8);
    EXPECT_GT(recording.red(), 200);
    EXPECT_LT(recording.green(), 100);
    EXPECT_GT(playing.green(), 150);
}

} // namespace
