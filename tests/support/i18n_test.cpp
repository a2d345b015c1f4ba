// The game in the player's language: English from the catalog the build compiled (found beside the test's
// executable, as beside the game's) in a locale en_US.UTF-8 made for the tests, the texts drawn where the
// Russian ones sit; and the rating's numbers unchanged in a locale that writes a comma.
#include <clocale>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include "app/flow.h"
#include "app/main_window.h"
#include "app/state.h"
#include "support/catalog.h"
#include "support/dialogs.h"
#include "support/i18n.h"
#include "tests/support/x_test.h"

namespace {

// The desktop's environment says LANG=lang and nothing else; the game chooses its language from it.
void speak(const char *lang) {
    setenv("LOCPATH", KORVANI_TEST_LOCALES, 1);
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_CTYPE", "LC_NUMERIC"}) unsetenv(name);
    setenv("LANG", lang, 1);
    i18n_setup();
    ASSERT_STREQ(lang, std::setlocale(LC_MESSAGES, nullptr)) << "no locale " << lang << " in " KORVANI_TEST_LOCALES;
}

// The line's width as drawn in the dialogs' and the message line's font.
int width(const char *line) {
    fl_font(16, 14);
    return static_cast<int>(fl_width(line));
}

// The message box up now: its title, its text and its width; then its button pressed. The timeout keeps
// repeating, which also wakes the message's wait.
std::string message_seen;
int message_w = 0;
void answer_message(void *) {
    Fl::repeat_timeout(0.02, answer_message);
    Fl_Window *modal = Fl::modal();
    if (!modal) return;
    message_seen = std::string(modal->label()) + ": " + modal->child(0)->label();
    message_w = modal->w();
    modal->child(1)->do_callback();
}

} // namespace

TEST(English, TitlesMenusMessagesAndRulesAreEnglishAndFitWhereTheRussianSits) {
    ASSERT_NO_FATAL_FAILURE(speak("en_US.UTF-8"));
    TEMP_DIR dir;
    static char arg0[] = "korvani";
    static char *argv[] = {arg0, nullptr};
    ASSERT_EQ(0, app_start(1, argv));
    show_and_settle(main_window);
    EXPECT_STREQ("  KORVANI", main_window->label());
    char *title = nullptr; // as the window manager reads it
    ASSERT_NE(0, XFetchName(fl_display, fl_xid(main_window), &title));
    EXPECT_STREQ("  KORVANI", title);
    XFree(title);
    auto *bar = dynamic_cast<Fl_Menu_Bar *>(content_window->child(0));
    ASSERT_NE(nullptr, bar);
    EXPECT_NE(nullptr, bar->find_item("Game/Reset rating"));
    EXPECT_NE(nullptr, bar->find_item("Help/Rules of the game"));

    // The message line ends where the English text's width says, inside its box (x 53 to 214).
    EXPECT_STREQ("Playing...", message_text);
    int box[4];
    read_window(content_window).dark_box(54, 46, 159, 23, box);
    EXPECT_NEAR(54 + width("Playing..."), box[1], 3);
    for (const char *ends : {"Белые сдались !", "Вы выиграли !", "Вы проиграли .."}) EXPECT_LE(width(_(ends)), 150) << _(ends);

    // The rules: the first line drawn is the English one, and every line ends well before the panel's
    // edge at 500 (where the Russian's longest ends at 494), read left of it: at scale 2 the edge, read
    // back at scale 1, reaches 499.
    rules_open();
    ASSERT_EQ(1u, shown_windows("Rules of the game").size());
    Fl_Window *rules = shown_windows("Rules of the game")[0];
    const PIXELS p = read_window(rules);
    p.dark_box(6, 30, 480, 19, box);
    EXPECT_NEAR(20 + width(" The rules of Korvani:"), box[1], 3);
    p.dark_box(6, 6, 480, 648, box);
    EXPECT_LT(box[1], 480);
    for (const char **line = rules_lines; *line; ++line) EXPECT_LE(20 + width(_(*line)), 480) << _(*line);
    for (const char **line = about_lines; *line; ++line) EXPECT_LE(20 + width(shown_line(*line).c_str()), 220) << shown_line(*line);

    // A refused move: the message box keeps the design's 230 pixels.
    user_turn(2, 2);
    Fl::add_timeout(0.02, answer_message);
    user_move(2, 2);
    Fl::remove_timeout(answer_message);
    EXPECT_EQ("Message: You can't play there!", message_seen);
    EXPECT_EQ(230, message_w);
}

TEST(English, RatingIsWrittenWithAPointInALocaleThatWritesAComma) {
    ASSERT_NO_FATAL_FAILURE(speak("de_DE.UTF-8"));
    TEMP_DIR dir;
    write_file("korvani.ini", "1.5");
    app_state *app = app_new("tiku2", 5);
    EXPECT_EQ(1.5, app->rating);
    app->rating += 0.5;
    ASSERT_EQ(1, rating_save(app));
    EXPECT_EQ("2.000000", file_bytes("korvani.ini"));
    app_close(app);
}

TEST(English, TheCatalogReaderOfWindowsFindsWhatGettextFinds) {
    ASSERT_NO_FATAL_FAILURE(speak("en_US.UTF-8"));
    CATALOG catalog;
    ASSERT_TRUE(catalog_load(&catalog, file_bytes(KORVANI_CATALOG)));
    EXPECT_STREQ("Close", catalog_text(catalog, "Закрыть"));
    for (const auto &entry : catalog.texts) EXPECT_STREQ(_(entry.first.c_str()), entry.second);
    // Not a catalog: one cut short, a rating file. Nothing is translated then.
    const std::string bytes = catalog.bytes;
    EXPECT_FALSE(catalog_load(&catalog, bytes.substr(0, bytes.size() - 8)));
    EXPECT_FALSE(catalog_load(&catalog, "12.5\n"));
    EXPECT_STREQ("Закрыть", catalog_text(catalog, "Закрыть"));
}
