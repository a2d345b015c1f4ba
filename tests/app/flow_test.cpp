// The game as the user plays it: clicks delivered through the X server at pixel positions of the board,
// the computer's answers, the end of the game with the lost stones painted, handicap and rating.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/x.H>

#include "app/board_view.h"
#include "app/flow.h"
#include "app/main_window.h"
#include "model/game.h"
#include "tests/support/x_test.h"

namespace {

// The centre of point (row, col) in the content window: grid lines 29 pixels apart from (57, 142).
int point_x(int col) { return 57 + 29 * col; }
int point_y(int row) { return 142 + 29 * row; }

void start(const char *rating) {
    if (rating) write_file("korvani.ini", rating);
    static char arg0[] = "korvani";
    static char *argv[] = {arg0, nullptr};
    ASSERT_EQ(0, app_start(1, argv));
    show_and_settle(main_window);
}

// A mouse button pressed and released at a position of the content window, through the X server.
void click(int x, int y, int button = 1) {
    xdotool("mousemove --window " + std::to_string(fl_xid(content_window)) + " " + std::to_string(x) + " " +
            std::to_string(y) + " click " + std::to_string(button));
    settle();
}

void click_point(int row, int col) { click(point_x(col), point_y(row)); }

// The modal message box, answered by pressing its button from a toolkit timeout while it waits.
struct MESSAGE_SEEN {
    int count = 0;
    std::string text;
    std::string title;
    std::string button;
    // The X window of the box last pressed. The box stays up until its own wait reads the press, and a
    // late repeating timeout fires again at once, so the same box is met more than once; it is told by
    // its X window, as a new box may take the old one's place on the stack but never its window id.
    Window pressed = 0;
    std::chrono::steady_clock::time_point pressed_at;
};
MESSAGE_SEEN message_seen;

void press_message_button(void *) {
    Fl::repeat_timeout(0.02, press_message_button);
    Fl_Window *modal = Fl::modal();
    if (!modal) return;
    if (fl_xid(modal) == message_seen.pressed) {
        // A box that never reads its pressed button would hang the test run in its wait.
        if (std::chrono::steady_clock::now() - message_seen.pressed_at > std::chrono::seconds(30)) {
            std::fputs("the message box stayed up 30 s after its button was pressed\n", stderr);
            std::_Exit(3);
        }
        return;
    }
    message_seen.pressed = fl_xid(modal);
    message_seen.pressed_at = std::chrono::steady_clock::now();
    ++message_seen.count;
    message_seen.title = modal->label() ? modal->label() : "";
    for (int k = 0; k < modal->children(); ++k) {
        Fl_Widget *child = modal->child(k);
        if (auto *button = dynamic_cast<Fl_Button *>(child)) {
            message_seen.button = button->label();
            button->do_callback();
        } else if (child->label()) {
            message_seen.text = child->label();
        }
    }
}

// While one lives, every message box that opens is answered by its button and recorded. The timeout
// repeats, so that the nested wait of the box wakes up and finds its button pressed.
struct MESSAGE_ANSWERER {
    MESSAGE_ANSWERER() {
        message_seen = MESSAGE_SEEN{};
        Fl::add_timeout(0.02, press_message_button);
    }
    ~MESSAGE_ANSWERER() { Fl::remove_timeout(press_message_button); }
    MESSAGE_ANSWERER(const MESSAGE_ANSWERER &) = delete;
    MESSAGE_ANSWERER &operator=(const MESSAGE_ANSWERER &) = delete;
};

// Stones put straight into the game record, as if played, and shown.
void put(const char *picture) {
    int row = 0;
    int col = 0;
    for (const char *c = picture; *c; ++c) {
        if (*c == '\n') {
            ++row;
            col = 0;
            continue;
        }
        if (*c == ' ') continue;
        if (*c == 'X') game_move(app->game, row, col, STONE_BLACK);
        if (*c == 'O') game_move(app->game, row, col, STONE_WHITE);
        ++col;
    }
    view_sync();
    board_widget->redraw();
    settle();
}

// The stones of one colour on the board view, lost ones included.
int stones_on_view(int colour) {
    const int dead = colour == STONE_BLACK ? BLACK_DEAD : WHITE_DEAD;
    int n = 0;
    for (int k = 0; k < 25; ++k) n += board_view[k] == colour || board_view[k] == dead;
    return n;
}

// What the board shows at a point, read from the screen: the share of dark pixels in a patch between
// the grid lines tells empty (none), a white stone (its outline only) and a black stone (mostly dark);
// the pixel just off the centre tells the mark of a lost stone.
int seen_at(const PIXELS &pixels, int row, int col) {
    const int cx = point_x(col);
    const int cy = point_y(row);
    int dark = 0;
    for (int y = cy + 6; y <= cy + 12; ++y)
        for (int x = cx + 6; x <= cx + 12; ++x) dark += pixels.has_dark(x, y, 1, 1);
    const bool centre_dark = pixels.has_dark(cx + 2, cy + 2, 1, 1);
    if (dark == 0) return STONE_NONE;
    if (dark > 25) return centre_dark ? STONE_BLACK : BLACK_DEAD;
    return centre_dark ? WHITE_DEAD : STONE_WHITE;
}

// The whole board as seen on the screen, one line a row: ". X O # @".
std::string seen_board() {
    const PIXELS pixels = read_window(content_window);
    std::string text;
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 5; ++col) {
            switch (seen_at(pixels, row, col)) {
            case STONE_WHITE: text += 'O'; break;
            case STONE_BLACK: text += 'X'; break;
            case WHITE_DEAD: text += '@'; break;
            case BLACK_DEAD: text += '#'; break;
            default: text += '.'; break;
            }
        }
        text += '\n';
    }
    return text;
}

// A new game at the given rating that charges nothing, as after a finished game.
void fresh_game(double rating) {
    app->rating = rating;
    app->game_over = 1;
    new_game();
    settle();
}

// A New game that waits in the queue: the toolkit handles it when the flow next shows something, as it
// does with a click that came while a move was handled.
bool new_game_waiting = false;
void handle_waiting_new_game() {
    if (!new_game_waiting) return;
    new_game_waiting = false;
    new_game();
}
const FLOW_DISPLAY queued_new_game = {nullptr, handle_waiting_new_game, handle_waiting_new_game, nullptr, nullptr, nullptr, nullptr};

} // namespace

TEST(BoardView, GeometryOfTheFixedWindow) {
    TEMP_DIR dir;
    start(nullptr);
    EXPECT_EQ(5, board_widget->x());
    EXPECT_EQ(105, board_widget->y());
    EXPECT_EQ(220, board_widget->w());
    EXPECT_EQ(190, board_widget->h());
    EXPECT_EQ(57, board_widget->grid_x);
    EXPECT_EQ(142, board_widget->grid_y);
    EXPECT_EQ(29, board_widget->cell);
    EXPECT_EQ(116, board_widget->span);

    const PIXELS pixels = read_window(content_window);
    // Grey background with a black outline, the white board square (38, 123) side 155 with its outline,
    // and the grid lines.
    EXPECT_EQ(map_rgb(0), pixels.at(5, 200));
    EXPECT_EQ(map_rgb(49), pixels.at(20, 200));
    EXPECT_EQ(map_rgb(0), pixels.at(38, 200));
    EXPECT_EQ(map_rgb(0), pixels.at(192, 200));
    EXPECT_EQ(map_rgb(49), pixels.at(194, 200));
    EXPECT_EQ(map_rgb(7), pixels.at(45, 130));
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(map_rgb(0), pixels.at(point_x(k), 150)) << "vertical line " << k;
        EXPECT_EQ(map_rgb(0), pixels.at(70, point_y(k))) << "horizontal line " << k;
    }
    EXPECT_EQ(map_rgb(7), pixels.at(point_x(0) - 5, 150));
    EXPECT_EQ(".....\n.....\n.....\n.....\n.....\n", seen_board());
}

TEST(BoardView, ClicksRoundToTheNearestLine) {
    TEMP_DIR dir;
    start(nullptr);
    const struct {
        int x, y;
        int row, col; // where the Black stone lands; row -1 for the refused click
    } cases[] = {
        {71, 142, 0, 0}, // 14 past the first line: still the first
        {72, 142, 0, 1}, // 15 past: the next one
        {35, 150, 0, 0}, // 22 before the first line: the division truncates toward zero
        {144, 213, 2, 3}, // 13 below the third line
        {28, 150, -1, -1}, // a full cell before the first line: off the board
        {188, 150, -1, -1}, // more than half a cell past the last line
    };
    for (const auto &c : cases) {
        fresh_game(0.0);
        MESSAGE_ANSWERER answerer;
        click(c.x, c.y);
        if (c.row < 0) {
            EXPECT_EQ(1, message_seen.count) << c.x << "," << c.y;
            EXPECT_EQ("Сюда ходить нельзя!", message_seen.text);
            EXPECT_EQ("Закрыть", message_seen.button);
            EXPECT_EQ("Сообщение", message_seen.title);
            EXPECT_EQ(0, stones_on_view(STONE_BLACK));
            EXPECT_EQ(0, stones_on_view(STONE_WHITE));
        } else {
            EXPECT_EQ(STONE_BLACK, board_view[c.row * 5 + c.col]) << c.x << "," << c.y;
            EXPECT_EQ(1, stones_on_view(STONE_BLACK));
            EXPECT_EQ(1, stones_on_view(STONE_WHITE)) << "the computer answers";
            EXPECT_EQ(0, message_seen.count);
        }
    }
}

TEST(BoardView, RightAndMiddleButtonsDoNothingAndATakenPointIsRefused) {
    TEMP_DIR dir;
    start(nullptr);
    click(point_x(2), point_y(2), 3);
    click(point_x(2), point_y(2), 2);
    EXPECT_EQ(".....\n.....\n.....\n.....\n.....\n", seen_board());

    click_point(2, 2);
    int white_row = -1;
    int white_col = -1;
    for (int k = 0; k < 25; ++k)
        if (board_view[k] == STONE_WHITE) white_row = k / 5, white_col = k % 5;
    ASSERT_GE(white_row, 0);
    // Both stones show at once, painted outside the redraw cycle.
    const PIXELS pixels = read_window(content_window);
    EXPECT_EQ(STONE_BLACK, seen_at(pixels, 2, 2));
    EXPECT_EQ(STONE_WHITE, seen_at(pixels, white_row, white_col));

    for (const auto &taken : {std::make_pair(2, 2), std::make_pair(white_row, white_col)}) {
        MESSAGE_ANSWERER answerer;
        click_point(taken.first, taken.second);
        EXPECT_EQ(1, message_seen.count);
        EXPECT_EQ(1, stones_on_view(STONE_BLACK));
        EXPECT_EQ(1, stones_on_view(STONE_WHITE));
    }
    // After the message the user may click again.
    const int free_row = white_row == 0 ? 4 : 0;
    click_point(free_row, 0);
    EXPECT_EQ(2, stones_on_view(STONE_BLACK));
}

// Whole games to each of their ends, with the rating and the message they leave and the lost stones
// painted with a mark of the opposite colour.
TEST(GameFlow, EveryWayAGameEnds) {
    TEMP_DIR dir;
    start(nullptr);
    const struct {
        const char *name;
        const char *position; // stones put before the user's click
        int row, col;         // the user's click
        bool resign;          // the computer has no move
        const char *message;
        double rating;
        const char *seen; // the board on the screen afterwards; '?' where the computer's stone may stand
    } cases[] = {
        {"win by capture", "O X\n", 1, 0, false, "Вы выиграли !", 0.5,
         "@X...\n"
         "X....\n"
         ".....\n.....\n.....\n"},
        {"loss by the user's own last dame", ".O\nO\n", 0, 0, false, "Вы проиграли ..", -0.5,
         "#O...\n"
         "O....\n"
         ".....\n.....\n.....\n"},
        {"loss by capture", "X O\n", 4, 4, false, "Вы проиграли ..", -0.5,
         "#O...\n"
         "O....\n"
         ".....\n.....\n"
         "....X\n"},
        // Every point Black but two eyes: White can only fill one of them, which has no dame and
        // captures nothing.
        {"win by the computer's own last dame",
         ".XXXX\nXXXXX\nXXXXX\nXXXXX\nXXX..\n", 4, 3, false, "Вы выиграли !", 0.5, nullptr},
        {"resignation", "", 2, 2, true, "Белые сдались !", 0.5,
         ".....\n.....\n..X..\n.....\n.....\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fresh_game(0.0);
        const std::string label_before = rating_text;
        put(c.position);
        // A search to level 0 is a leaf at once: no move comes back.
        if (c.resign) app->game->players[app->computer].level = 0;
        click_point(c.row, c.col);

        EXPECT_STREQ(c.message, message_text);
        EXPECT_EQ(c.rating, app->rating);
        EXPECT_NE(0, app->game_over);
        EXPECT_EQ(label_before, rating_text) << "the label keeps the old value until the next game";
        if (c.seen) {
            EXPECT_EQ(c.seen, seen_board());
        }

        // Clicks after the end change nothing.
        int before[25];
        std::copy(board_view, board_view + 25, before);
        click_point(3, 0);
        click_point(0, 4);
        EXPECT_TRUE(std::equal(before, before + 25, board_view));
        EXPECT_EQ(c.rating, app->rating);
    }
}

TEST(GameFlow, TheComputersSuicideIsShownWithItsStoneMarked) {
    TEMP_DIR dir;
    start(nullptr);
    fresh_game(0.0);
    put(".XXXX\nXXXXX\nXXXXX\nXXXXX\nXXX..\n");
    click_point(4, 3);
    ASSERT_STREQ("Вы выиграли !", message_text);
    const std::string seen = seen_board();
    // The White stone stands in one of the two eyes, marked as lost.
    EXPECT_TRUE(seen == "@XXXX\nXXXXX\nXXXXX\nXXXXX\nXXXX.\n" ||
                seen == ".XXXX\nXXXXX\nXXXXX\nXXXXX\nXXXX@\n")
        << seen;
}

TEST(GameFlow, HandicapFollowsTheRating) {
    TEMP_DIR dir;
    start(nullptr);
    const struct {
        double rating;
        int black, white; // stones on the board when the user's turn begins
    } cases[] = {
        {0.0, 0, 0}, {0.9, 0, 0}, {1.5, 0, 1}, {3.7, 0, 3}, {-0.5, 0, 1}, {-2.0, 2, 1},
        // No more stones than points, and quickly: the board fills and the computer has no move left.
        {-1e9, 25, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rating);
        fresh_game(c.rating);
        EXPECT_EQ(c.black, stones_on_view(STONE_BLACK));
        EXPECT_EQ(c.white, stones_on_view(STONE_WHITE));
        if (c.black + c.white == 25) continue; // a full board has already ended the game
        EXPECT_STREQ("Играем ...", message_text);
        char label[32];
        std::snprintf(label, sizeof label, "%+3.1f", c.rating);
        EXPECT_STREQ(label, rating_text);
    }
}

TEST(GameFlow, NewGamesAndTheRatingReset) {
    TEMP_DIR dir;
    start("2.0");
    EXPECT_EQ(2.0, app->rating) << "the first game of a run is not charged";
    EXPECT_EQ(2, stones_on_view(STONE_WHITE));

    new_game_button->do_callback();
    settle();
    EXPECT_EQ(1.5, app->rating) << "giving up a game costs the stake";
    EXPECT_STREQ("+1.5", rating_text);
    new_game();
    EXPECT_EQ(1.0, app->rating);

    rating_reset();
    settle();
    EXPECT_EQ(0.0, app->rating) << "the reset charges nothing";
    EXPECT_STREQ("+0.0", rating_text);
    EXPECT_EQ(0, stones_on_view(STONE_WHITE));
    EXPECT_EQ(".....\n.....\n.....\n.....\n.....\n", seen_board()) << "the old stones are cleared";

    // A won game: the label shows the new rating only with the next game.
    put("O X\n");
    click_point(1, 0);
    EXPECT_EQ(0.5, app->rating);
    EXPECT_STREQ("+0.0", rating_text);
    new_game();
    settle();
    EXPECT_EQ(0.5, app->rating) << "a finished game is not charged again";
    EXPECT_STREQ("+0.5", rating_text);
}

// The end of a game, or the rating reset, with a New game waiting: it charges nothing and starts a game
// that takes the user's moves.
TEST(GameFlow, ANewGameWaitingBehindTheEndFindsTheGameOver) {
    TEMP_DIR dir;
    start(nullptr);
    const struct {
        const char *name;
        double rating;
        const char *position;
        int row, col; // the user's last move; -1 for the reset
        double after;
    } cases[] = {
        {"win", 0.5, "O X\n", 1, 0, 1.0},
        {"loss by the user's own last dame", 0.5, ".O\nO\n", 0, 0, 0.0},
        {"rating reset during a game", 2.5, "", -1, -1, 0.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fresh_game(c.rating);
        put(c.position);
        flow_set_display(&queued_new_game);
        new_game_waiting = true;
        if (c.row < 0)
            rating_reset();
        else
            user_turn(c.row, c.col);
        main_window_attach_flow();
        EXPECT_FALSE(new_game_waiting);
        EXPECT_EQ(c.after, app->rating);
        EXPECT_EQ(0, app->game_over) << "the new game looks live but ignores clicks";
        EXPECT_STREQ("Играем ...", message_text);
    }
}

TEST(GameFlow, ARatingOfZeroShowsAPlusWhateverItsSign) {
    TEMP_DIR dir;
    start("-0");
    EXPECT_STREQ("+0.0", rating_text);
    const struct {
        double rating;
        const char *label;
    } cases[] = {{-0.0, "+0.0"}, {0.0, "+0.0"}, {-0.04, "-0.0"}, {-0.5, "-0.5"}};
    for (const auto &c : cases) {
        fresh_game(c.rating);
        EXPECT_STREQ(c.label, rating_text) << c.rating;
    }
}
