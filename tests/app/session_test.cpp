// The real executable as a user meets it, under a virtual X server without a window manager: the
// program is started in a folder of its own, driven with xdotool (mouse clicks, the menu by keyboard)
// and read back from screenshots at the board's grid points. A frame's close box is what a window
// manager would send: the WM_DELETE_WINDOW message.
//
// KORVANI_EXE overrides the program that is run, KORVANI_RUNNER puts a command in front of it (valgrind),
// and KORVANI_SLOW multiplies every wait (a program under valgrind runs many times slower).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Where the board's grid lines are in the main window, and the stone codes read back from the screen.
const int GRID_X[5] = {57, 86, 115, 144, 173};
const int GRID_Y[5] = {142, 171, 200, 229, 258};
enum : int { EMPTY = 0, WHITE = 1, BLACK = 2, WHITE_DEAD = 111, BLACK_DEAD = 221 };

const char *const MAIN_TITLE = "  КОРВАНИ";

double slowness() {
    const char *slow = std::getenv("KORVANI_SLOW");
    const double factor = slow ? std::atof(slow) : 1.0;
    return factor >= 1.0 ? factor : 1.0;
}

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls until the condition holds or the time (scaled by KORVANI_SLOW) is up.
template <class CONDITION>
bool wait_for(CONDITION condition, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(ms * slowness()));
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        pause_ms(20);
    }
    return condition();
}

std::string read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void xdotool(const std::string &args) {
    // xdotool waits on the X server; should that never answer, the limit ends it with status 124.
    const std::string command = "timeout 30 xdotool " + args;
    const int status = std::system(command.c_str());
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 124) << "xdotool " << args << " did not finish within 30 s";
    ASSERT_EQ(0, status) << command;
}

// The board as the screen shows it, read at each grid point from three pixels: the centre, where the
// lines cross and a dead stone's mark sits; 3 pixels off it, inside the mark but off the lines; and 8
// pixels off it, inside a stone but outside the mark.
struct BOARD_SEEN {
    int code[5][5];
    int count(int c) const {
        int n = 0;
        for (const auto &row : code)
            for (int k : row) n += k == c;
        return n;
    }
    bool operator==(const BOARD_SEEN &o) const { return std::memcmp(code, o.code, sizeof code) == 0; }
    bool operator!=(const BOARD_SEEN &o) const { return !(*this == o); }
    std::string text() const {
        std::string s;
        for (const auto &row : code) {
            for (int k : row) s += k == EMPTY ? '.' : k == WHITE ? 'O' : k == BLACK ? 'X' : k == WHITE_DEAD ? '@' : '#';
            s += '\n';
        }
        return s;
    }
};

// A screenshot of a rectangle of the screen.
struct SHOT {
    int w = 0;
    int h = 0;
    std::vector<unsigned> rgb;
    unsigned at(int x, int y) const { return rgb[y * w + x]; }
    bool dark(int x, int y) const {
        const unsigned c = at(x, y);
        return ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255) < 3 * 128;
    }
    bool operator==(const SHOT &o) const { return w == o.w && h == o.h && rgb == o.rgb; }
};

// One run of the program in a fresh folder.
class Session {
public:
    Display *display = nullptr;
    Window root = 0;
    Window main = 0;
    pid_t pid = -1;
    std::string top;    // this session's own folder: the working folder and the error stream's log
    std::string folder; // the program's working folder
    std::string log;
    // Whether the program runs as the unprivileged user nobody when the test runs as root, who would
    // read and write files whatever their permissions.
    bool as_user = false;
    std::vector<std::string> args; // given to the program after its name
    Window other = 0;              // the main window of another session on the same display

    Session() {
        // The program opens and closes windows while the test looks at them: a window gone between
        // listing it and asking about it is no error here, the answer is just empty.
        XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
        display = XOpenDisplay(nullptr);
        if (!display) throw std::runtime_error("no X display");
        root = DefaultRootWindow(display);
        char pattern[] = "/tmp/korvani-session-XXXXXX";
        top = mkdtemp(pattern);
        folder = top + "/work";
        log = top + "/stderr";
        std::filesystem::create_directory(folder);
    }
    ~Session() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            if (!wait_for([&] { return waitpid(pid, nullptr, WNOHANG) != 0; }, 10000))
                std::fprintf(stderr, "the program (pid %d) did not end on SIGKILL; left behind\n", static_cast<int>(pid));
        }
        XCloseDisplay(display);
        std::error_code ignored;
        std::filesystem::remove_all(top, ignored);
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Plays in the working folder of another session, as a second copy of the game started there.
    void share_folder(const Session &first) {
        folder = first.folder;
        other = first.main;
    }

    void put_rating(const std::string &text) { std::ofstream(folder + "/korvani.ini", std::ios::binary) << text; }
    std::string file(const std::string &name) const { return read_bytes(folder + "/" + name); }
    // The file's permission bits, or -1.
    int mode(const std::string &name) const {
        struct stat info {};
        return lstat((folder + "/" + name).c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
    }
    std::string rating_file() const { return read_bytes(folder + "/korvani.ini"); }
    // The names in the folder, but the saves' lock file, which stays.
    std::vector<std::string> folder_entries() const {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(folder))
            if (e.path().filename() != "korvani.ini.lock") names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string stderr_tail() const {
        const std::string all = read_bytes(log);
        return all.size() > 4000 ? all.substr(all.size() - 4000) : all;
    }

    // Starts the program and, when shown, waits until its window is on the screen and drawn.
    void start(bool shown = true) {
        const char *exe = std::getenv("KORVANI_EXE");
        // The program starts in its own folder: a relative path would no longer lead to it.
        std::string program = std::filesystem::absolute(exe ? exe : KORVANI_EXE).string();
        std::string lsan_options = std::getenv("LSAN_OPTIONS") ? std::getenv("LSAN_OPTIONS") : "";
        std::vector<std::string> words;
        if (as_user && geteuid() == 0) {
            // The build may lie where nobody cannot reach it, as a clone in root's home does: the program
            // and the leak checker's suppressions are run from copies in this session's own folder.
            const std::string copy = top + "/korvani";
            std::filesystem::copy_file(program, copy);
            ASSERT_EQ(0, chmod(copy.c_str(), 0755));
            program = copy;
            const std::string key = "suppressions=";
            const size_t at = lsan_options.find(key);
            if (at != std::string::npos) {
                const size_t from = at + key.size();
                const size_t to = lsan_options.find(':', from);
                const std::string supp = top + "/lsan.supp";
                std::filesystem::copy_file(lsan_options.substr(from, to == std::string::npos ? to : to - from), supp);
                ASSERT_EQ(0, chmod(supp.c_str(), 0644));
                lsan_options.replace(from, to == std::string::npos ? std::string::npos : to - from, supp);
            }
            const passwd *nobody = getpwnam("nobody");
            ASSERT_NE(nullptr, nobody);
            for (const std::string &path : {top, folder}) ASSERT_EQ(0, chown(path.c_str(), nobody->pw_uid, -1));
            for (const auto &e : std::filesystem::recursive_directory_iterator(folder))
                ASSERT_EQ(0, lchown(e.path().c_str(), nobody->pw_uid, -1));
            words = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        }
        if (const char *runner = std::getenv("KORVANI_RUNNER")) {
            std::istringstream in(runner);
            for (std::string w; in >> w;) words.push_back(w);
        }
        words.push_back(program);
        words.insert(words.end(), args.begin(), args.end());
        std::fflush(nullptr);
        pid = fork();
        if (pid == 0) {
            if (chdir(folder.c_str()) != 0) _exit(126);
            if (!lsan_options.empty()) setenv("LSAN_OPTIONS", lsan_options.c_str(), 1);
            const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(fd, STDERR_FILENO);
            std::vector<char *> argv;
            for (std::string &w : words) argv.push_back(w.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        if (!shown) return;
        ASSERT_TRUE(wait_for([&] { return (main = find_window(MAIN_TITLE, other)) != 0 && viewable(main); }, 20000))
            << "the main window did not show\n" << stderr_tail();
        ASSERT_TRUE(wait_for([&] { return board_drawn(); }, 10000)) << "the board was not drawn";
        settle();
    }

    // Waits for the program to end and returns its exit status (-1 when it did not end in time).
    int wait_exit(int ms = 10000) {
        int status = 0;
        const bool ended = wait_for([&] { return waitpid(pid, &status, WNOHANG) == pid; }, ms);
        if (!ended) {
            std::fprintf(stderr, "the program (pid %d) did not end within %.0f s\n", static_cast<int>(pid),
                         ms * slowness() / 1000);
            return -1;
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The top-level window with this title (UTF-8) other than skip, or 0.
    Window find_window(const std::string &title, Window skip = 0) {
        Window parent_return;
        Window root_return;
        Window *children = nullptr;
        unsigned n = 0;
        Window found = 0;
        XSync(display, False);
        if (!XQueryTree(display, root, &root_return, &parent_return, &children, &n)) return 0;
        for (unsigned k = 0; k < n && !found; ++k)
            if (children[k] != skip && window_title(children[k]) == title) found = children[k];
        if (children) XFree(children);
        return found;
    }

    std::string window_title(Window w) {
        const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
        const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
        Atom type;
        int format;
        unsigned long items;
        unsigned long after;
        unsigned char *data = nullptr;
        std::string title;
        if (XGetWindowProperty(display, w, net_name, 0, 256, False, utf8, &type, &format, &items, &after, &data) ==
                Success &&
            data) {
            title.assign(reinterpret_cast<char *>(data), items);
            XFree(data);
        }
        return title;
    }

    bool viewable(Window w) {
        XWindowAttributes a;
        return XGetWindowAttributes(display, w, &a) && a.map_state == IsViewable;
    }

    // A menu's pop-up: a mapped override-redirect window bigger than the toolkit's 1 x 1 helper.
    bool popup_shown() {
        Window parent_return;
        Window root_return;
        Window *children = nullptr;
        unsigned n = 0;
        bool shown = false;
        XSync(display, False);
        if (!XQueryTree(display, root, &root_return, &parent_return, &children, &n)) return false;
        for (unsigned k = 0; k < n; ++k) {
            XWindowAttributes a;
            if (XGetWindowAttributes(display, children[k], &a) && a.override_redirect && a.map_state == IsViewable &&
                a.width > 10)
                shown = true;
        }
        if (children) XFree(children);
        return shown;
    }

    // The window's top-left corner on the screen.
    void origin(Window w, int *x, int *y) {
        Window child;
        XTranslateCoordinates(display, w, root, 0, 0, x, y, &child);
    }

    SHOT shot(Window w, int x, int y, int width, int height) {
        int ox = 0;
        int oy = 0;
        origin(w, &ox, &oy);
        XSync(display, False);
        SHOT s;
        XImage *image = XGetImage(display, root, ox + x, oy + y, width, height, AllPlanes, ZPixmap);
        if (!image) return s;
        s.w = width;
        s.h = height;
        s.rgb.resize(static_cast<size_t>(width) * height);
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i) s.rgb[j * width + i] = XGetPixel(image, i, j) & 0xffffff;
        XDestroyImage(image);
        return s;
    }

    BOARD_SEEN board() {
        const SHOT s = shot(main, 0, 0, 230, 300);
        BOARD_SEEN b{};
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c) {
                const int x = GRID_X[c];
                const int y = GRID_Y[r];
                const bool centre = s.dark(x, y);
                const bool mark = s.dark(x + 3, y + 3);
                const bool body = s.dark(x + 8, y + 8);
                if (body)
                    b.code[r][c] = centre ? BLACK : BLACK_DEAD;
                else if (!centre)
                    b.code[r][c] = WHITE;
                else
                    b.code[r][c] = mark ? WHITE_DEAD : EMPTY;
            }
        return b;
    }

    // Drawn: the board's white square with its black outline, which no stone covers.
    bool board_drawn() {
        const SHOT s = shot(main, 0, 0, 230, 300);
        return s.w == 230 && !s.dark(45, 130) && s.dark(38, 200) && s.dark(192, 200);
    }

    // The board once it has stayed the same for a while (longer for a slowed program): the computer's
    // answer and any repaint are done.
    BOARD_SEEN settled_board() {
        const int reads = static_cast<int>(5 * slowness());
        BOARD_SEEN last = board();
        int same = 0;
        wait_for([&] {
            const BOARD_SEEN now = board();
            same = now == last ? same + 1 : 0;
            last = now;
            return same >= reads;
        });
        return last;
    }
    // Whether the board comes to show this and stays so.
    bool shows(const BOARD_SEEN &expected) {
        wait_for([&] { return board() == expected; });
        return settled_board() == expected;
    }
    void settle() { settled_board(); }

    // A part of the window once it has stayed the same for a while: a closed menu's pop-up covered the
    // panel, and the window takes its time to paint it again.
    SHOT steady(int x, int y, int width, int height) {
        const int reads = static_cast<int>(5 * slowness());
        SHOT last = shot(main, x, y, width, height);
        int same = 0;
        wait_for([&] {
            const SHOT now = shot(main, x, y, width, height);
            same = now == last ? same + 1 : 0;
            last = now;
            return same >= reads;
        });
        return last;
    }
    // The panel's lines: the message, and the rating caption with its value.
    SHOT message_line() { return steady(53, 45, 161, 25); }
    SHOT rating_line() { return steady(56, 70, 164, 25); }

    void click_window(Window w, int x, int y, int button = 1) {
        int ox = 0;
        int oy = 0;
        origin(w, &ox, &oy);
        xdotool("mousemove " + std::to_string(ox + x) + " " + std::to_string(oy + y) + " click " +
                std::to_string(button));
    }
    void click_point(int row, int col, int button = 1) { click_window(main, GRID_X[col], GRID_Y[row], button); }

    // Chooses the n-th item (from 1) of a menu title by keyboard, as a user may.
    void menu(int title_x, int item) {
        click_window(main, title_x, 20);
        ASSERT_TRUE(wait_for([&] { return popup_shown(); })) << "the menu did not open";
        std::string keys;
        for (int k = 0; k < item; ++k) keys += " Down";
        xdotool("key" + keys + " Return");
        ASSERT_TRUE(wait_for([&] { return !popup_shown(); })) << "the menu did not close";
    }
    void game_menu(int item) { menu(25, item); }     // "Игра": new game, reset, exit
    void help_menu(int item) { menu(95, item); }     // "Справка": rules, about
    void new_game_button() {
        click_window(main, 30, 67);
        // Off the button before its tooltip shows over the rating line.
        xdotool("mousemove 700 700");
    }

    // What a window manager sends when the user clicks the frame's close box.
    void close_by_frame(Window w) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = w;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, w, False, NoEventMask, &event);
        XFlush(display);
    }

    // Waits for a top-level window with the title to be shown; 0 when none comes.
    Window wait_window(const std::string &title) {
        Window w = 0;
        wait_for([&] { return (w = find_window(title)) != 0 && viewable(w); });
        return w != 0 && viewable(w) ? w : 0;
    }
    bool wait_gone(const std::string &title) {
        return wait_for([&] {
            const Window w = find_window(title);
            return w == 0 || !viewable(w);
        });
    }
    // Waits for the message box and closes it through its frame; `missing` says what no box means.
    void close_message(const char *missing) {
        const Window box = wait_window("Сообщение");
        ASSERT_NE(0u, box) << missing;
        close_by_frame(box);
        EXPECT_TRUE(wait_gone("Сообщение"));
    }
};

// The number of stones of both colours, dead ones included.
int stones(const BOARD_SEEN &b) { return 25 - b.count(EMPTY); }
bool ended(const BOARD_SEEN &b) { return b.count(WHITE_DEAD) + b.count(BLACK_DEAD) > 0; }

// After a click on a free point: the user's stone and, unless the game ended, the computer's.
BOARD_SEEN after_move(Session &s, const BOARD_SEEN &before) {
    EXPECT_TRUE(wait_for([&] {
        const BOARD_SEEN now = s.board();
        return ended(now) || stones(now) >= stones(before) + 2;
    })) << "no stone or no answer after the click\n" << s.board().text();
    return s.settled_board();
}

} // namespace

TEST(Session, RefusedClickMessageClosesByItsButtonAndByItsFrameAndPlayGoesOn) {
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    const BOARD_SEEN empty = s.board();
    ASSERT_EQ(25, empty.count(EMPTY)) << empty.text();

    s.click_point(2, 2);
    const BOARD_SEEN first = after_move(s, empty);
    ASSERT_EQ(BLACK, first.code[2][2]) << first.text();
    ASSERT_EQ(1, first.count(BLACK));
    ASSERT_EQ(1, first.count(WHITE)) << first.text();

    // The right and the middle button do nothing, on a free point as on a taken one.
    for (int button : {3, 2}) {
        s.click_point(button == 3 ? 0 : 4, button == 3 ? 0 : 4, button);
        s.click_point(2, 2, button);
    }
    pause_ms(static_cast<int>(300 * slowness()));
    EXPECT_TRUE(s.shows(first)) << s.board().text();
    EXPECT_EQ(0u, s.find_window("Сообщение"));

    // A taken point: the message box, closed by its button.
    s.click_point(2, 2);
    Window box = s.wait_window("Сообщение");
    ASSERT_NE(0u, box) << "no message for a taken point";
    s.click_window(box, 75 + 40, 110 + 12);
    EXPECT_TRUE(s.wait_gone("Сообщение")) << "the button did not close the message";
    EXPECT_TRUE(s.shows(first)) << s.board().text();

    // Off the board, a cell left of the first line: the message box, closed by its frame.
    s.click_window(s.main, GRID_X[0] - 37, GRID_Y[1]);
    box = s.wait_window("Сообщение");
    ASSERT_NE(0u, box) << "no message for a point off the board";
    s.close_by_frame(box);
    EXPECT_TRUE(s.wait_gone("Сообщение")) << "the frame did not close the message";
    EXPECT_TRUE(s.shows(first)) << s.board().text();

    // Play goes on: a free point takes the user's stone and the computer answers.
    int row = -1;
    int col = -1;
    for (int k = 0; k < 25 && row < 0; ++k)
        if (first.code[k / 5][k % 5] == EMPTY) row = k / 5, col = k % 5;
    s.click_point(row, col);
    const BOARD_SEEN second = after_move(s, first);
    EXPECT_EQ(BLACK, second.code[row][col] == BLACK_DEAD ? BLACK : second.code[row][col]) << second.text();
    EXPECT_EQ(stones(first) + (ended(second) ? 1 : 2), stones(second)) << second.text();

    ASSERT_NO_FATAL_FAILURE(s.game_menu(3)); // "Выход"
    EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
    // An unfinished game is not charged on the way out.
    const std::string expected = !ended(second) ? "0.000000" : second.count(WHITE_DEAD) ? "0.500000" : "-0.500000";
    EXPECT_EQ(expected, s.rating_file());
    EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, s.folder_entries());
}

TEST(Session, RulesAndAboutOpenFromTheMenuAndClose) {
    Session s;
    s.put_rating("2.000000");
    ASSERT_NO_FATAL_FAILURE(s.start());
    const BOARD_SEEN board = s.board();
    EXPECT_EQ(2, board.count(WHITE)) << board.text();

    ASSERT_NO_FATAL_FAILURE(s.help_menu(1)); // "Правила игры"
    Window rules = s.wait_window("Правила игры");
    ASSERT_NE(0u, rules) << "the rules did not open";
    // Its white page holds the lines of text.
    EXPECT_TRUE(wait_for([&] {
        const SHOT page = s.shot(rules, 10, 10, 300, 200);
        int dark = 0;
        for (unsigned c : page.rgb) dark += ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255) < 384;
        return dark > 200;
    })) << "no text in the rules window";
    s.close_by_frame(rules);
    EXPECT_TRUE(s.wait_gone("Правила игры"));
    // Again, after it was closed.
    ASSERT_NO_FATAL_FAILURE(s.help_menu(1));
    rules = s.wait_window("Правила игры");
    ASSERT_NE(0u, rules) << "the rules did not open a second time";
    s.close_by_frame(rules);
    EXPECT_TRUE(s.wait_gone("Правила игры"));

    ASSERT_NO_FATAL_FAILURE(s.help_menu(2)); // "О программе..."
    const Window about = s.wait_window("О программе");
    ASSERT_NE(0u, about) << "the about window did not open";
    s.click_window(about, 75 + 35, 183 + 12); // its "Закрыть" button
    EXPECT_TRUE(s.wait_gone("О программе")) << "the button did not close the about window";

    // The main window shows the same game and still plays.
    EXPECT_TRUE(s.shows(board)) << s.board().text();
    int free_k = 0;
    while (board.code[free_k / 5][free_k % 5] != EMPTY) ++free_k;
    s.click_point(free_k / 5, free_k % 5);
    const BOARD_SEEN after = after_move(s, board);
    EXPECT_GT(stones(after), stones(board)) << after.text();

    s.close_by_frame(s.main);
    EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
    const std::string expected = !ended(after) ? "2.000000" : after.count(WHITE_DEAD) ? "2.500000" : "1.500000";
    EXPECT_EQ(expected, s.rating_file());
}

TEST(Session, NewGameChargesTheGameInProgressAndResetClearsTheRating) {
    {
        Session s;
        ASSERT_NO_FATAL_FAILURE(s.start());
        const SHOT zero_label = s.rating_line();
        const BOARD_SEEN empty = s.board();
        s.click_point(2, 2);
        const BOARD_SEEN playing = after_move(s, empty);
        ASSERT_FALSE(ended(playing)) << playing.text();

        // The button gives the game up: -0.5, so the computer opens the next one.
        s.new_game_button();
        ASSERT_TRUE(wait_for([&] {
            const BOARD_SEEN b = s.settled_board();
            return b.count(WHITE) == 1 && b.count(BLACK) == 0;
        })) << s.board().text();
        const SHOT minus_half = s.rating_line();
        EXPECT_FALSE(minus_half == zero_label) << "the rating label did not change";

        // "Новая игра" gives that one up too: -1.0, one Black handicap stone and the computer's move.
        ASSERT_NO_FATAL_FAILURE(s.game_menu(1));
        ASSERT_TRUE(wait_for([&] {
            const BOARD_SEEN b = s.settled_board();
            return b.count(WHITE) == 1 && b.count(BLACK) == 1;
        })) << s.board().text();
        EXPECT_TRUE(wait_for([&] { return !(s.rating_line() == minus_half); })) << "the rating label did not change";

        ASSERT_NO_FATAL_FAILURE(s.game_menu(3));
        EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
        EXPECT_EQ("-1.000000", s.rating_file());
    }
    Session s;
    s.put_rating("-1.000000");
    ASSERT_NO_FATAL_FAILURE(s.start());
    const BOARD_SEEN start = s.board();
    EXPECT_EQ(1, start.count(BLACK)) << start.text();
    EXPECT_EQ(1, start.count(WHITE)) << start.text();

    // "Обнулить рейтинг": the game is not charged, the rating is 0 and the user moves first.
    ASSERT_NO_FATAL_FAILURE(s.game_menu(2));
    ASSERT_TRUE(wait_for([&] { return s.settled_board().count(EMPTY) == 25; })) << s.board().text();
    const SHOT zero = s.rating_line();
    const BOARD_SEEN reset = s.board();
    s.click_point(0, 0);
    after_move(s, reset);
    // A new game from 0 with the game in progress: -0.5; reset again: the label shows 0 as before.
    s.new_game_button();
    ASSERT_TRUE(wait_for([&] { return s.settled_board().count(WHITE) == 1; }));
    EXPECT_TRUE(wait_for([&] { return !(s.rating_line() == zero); })) << "the rating label did not change";
    ASSERT_NO_FATAL_FAILURE(s.game_menu(2));
    ASSERT_TRUE(wait_for([&] { return s.settled_board().count(EMPTY) == 25; }));
    EXPECT_TRUE(wait_for([&] { return s.rating_line() == zero; })) << "the label after a reset is not the label of 0";

    ASSERT_NO_FATAL_FAILURE(s.game_menu(3));
    EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
    EXPECT_EQ("0.000000", s.rating_file());
}

// A user clicking on while the last move of a game is handled: the program is stopped, so the clicks
// wait in its X connection, and the end message's own repaint lets the toolkit handle them. They must
// find the game over: a click on a taken point is no refused move, New game gives nothing up, and the
// game it starts takes clicks.
TEST(Session, ClicksQueuedBehindTheLastMoveFindTheGameOver) {
    Session s;
    s.put_rating("24.000000"); // 24 White handicap stones: the one free point captures them all
    ASSERT_NO_FATAL_FAILURE(s.start());
    const auto free_point = [](const BOARD_SEEN &b) {
        int k = 0;
        while (k < 24 && b.code[k / 5][k % 5] != EMPTY) ++k;
        return k;
    };
    const BOARD_SEEN start = s.board();
    ASSERT_EQ(1, start.count(EMPTY)) << start.text();
    const int k = free_point(start);
    const int taken = k == 0 ? 1 : 0;

    ASSERT_EQ(0, kill(s.pid, SIGSTOP));
    s.click_point(k / 5, k % 5);
    s.click_point(taken / 5, taken % 5);
    s.new_game_button();
    ASSERT_EQ(0, kill(s.pid, SIGCONT));

    // The new game from 24.5: again 24 White stones, none of them marked.
    ASSERT_TRUE(wait_for([&] {
        const BOARD_SEEN b = s.settled_board();
        return b.count(WHITE) == 24 && b.count(EMPTY) == 1;
    })) << s.board().text();
    EXPECT_EQ(0u, s.find_window("Сообщение")) << "a click on the finished game was refused as a move";
    const BOARD_SEEN next = s.board();
    const int k2 = free_point(next);
    s.click_point(k2 / 5, k2 % 5);
    EXPECT_TRUE(wait_for([&] { return s.settled_board().count(WHITE_DEAD) == 24; }))
        << "the new game ignores clicks\n" << s.board().text();

    ASSERT_NO_FATAL_FAILURE(s.game_menu(3));
    EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
    EXPECT_EQ("25.000000", s.rating_file()) << "24.0, a win, New game and another win";
}

TEST(Session, AFullGamePlayedToItsEndThroughClicks) {
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    const SHOT playing_message = s.message_line();
    BOARD_SEEN board = s.board();
    // The user plays next to the computer's stones where it can, as a user chasing a capture would.
    for (int turn = 0; turn < 25 && !ended(board); ++turn) {
        int best = -1;
        int best_score = -1;
        for (int k = 0; k < 25; ++k) {
            if (board.code[k / 5][k % 5] != EMPTY) continue;
            const int r = k / 5;
            const int c = k % 5;
            int score = 0;
            if (r > 0) score += board.code[r - 1][c] == WHITE;
            if (r < 4) score += board.code[r + 1][c] == WHITE;
            if (c > 0) score += board.code[r][c - 1] == WHITE;
            if (c < 4) score += board.code[r][c + 1] == WHITE;
            if (score > best_score) best = k, best_score = score;
        }
        ASSERT_GE(best, 0) << "no free point, but the game did not end\n" << board.text();
        s.click_point(best / 5, best % 5);
        const BOARD_SEEN next = after_move(s, board);
        ASSERT_GT(stones(next), stones(board)) << "the click changed nothing\n" << next.text();
        board = next;
    }
    ASSERT_TRUE(ended(board)) << board.text();
    // One side's stones are marked, not both.
    const bool won = board.count(WHITE_DEAD) > 0;
    EXPECT_NE(won, board.count(BLACK_DEAD) > 0) << board.text();
    EXPECT_TRUE(wait_for([&] { return !(s.message_line() == playing_message); }))
        << "the message did not change at the end";

    // Clicks after the end change nothing and show no message.
    for (int k = 0; k < 25; ++k)
        if (board.code[k / 5][k % 5] == EMPTY) {
            s.click_point(k / 5, k % 5);
            break;
        }
    pause_ms(static_cast<int>(300 * slowness()));
    EXPECT_TRUE(s.shows(board)) << s.board().text();
    EXPECT_EQ(0u, s.find_window("Сообщение"));

    ASSERT_NO_FATAL_FAILURE(s.game_menu(3));
    EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
    EXPECT_EQ(won ? "0.500000" : "-0.500000", s.rating_file()) << board.text();

    // The next run starts from the saved rating: +0.5 lets the user move first, -0.5 lets the computer.
    Session again;
    again.put_rating(s.rating_file());
    ASSERT_NO_FATAL_FAILURE(again.start());
    const BOARD_SEEN next = again.board();
    EXPECT_EQ(won ? 25 : 24, next.count(EMPTY)) << next.text();
    again.close_by_frame(again.main);
    EXPECT_EQ(0, again.wait_exit()) << again.stderr_tail();
}

namespace {

// Waits until the file holds the text, and says what it holds otherwise.
::testing::AssertionResult file_becomes(Session &s, const std::string &expected, const std::string &name = "korvani.ini") {
    if (wait_for([&] { return s.file(name) == expected; })) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << " holds " << s.file(name) << ", not " << expected;
}

// Whether no message window opens within a while.
bool no_message(Session &s) {
    pause_ms(static_cast<int>(500 * slowness()));
    return s.find_window("Сообщение") == 0;
}

// Starts the program behind a wrapper script that sets up what it inherits: its standard streams, limits,
// signals (through KORVANI_RUNNER, in front of any runner already given).
void start_wrapped(Session &s, const std::string &script, bool shown = true) {
    const std::string path = s.top + "/wrapper";
    std::ofstream(path) << script;
    ASSERT_EQ(0, chmod(path.c_str(), 0755));
    const char *runner = std::getenv("KORVANI_RUNNER");
    const std::string previous = runner ? runner : "";
    setenv("KORVANI_RUNNER", (path + " " + previous).c_str(), 1);
    s.start(shown);
    if (runner)
        setenv("KORVANI_RUNNER", previous.c_str(), 1);
    else
        unsetenv("KORVANI_RUNNER");
}

} // namespace

TEST(Session, SignalsAndALostDisplayKeepEveryFinishedGame) {
    {
        // 30: the handicap fills the board and the game is won at once; saved before any exit.
        Session s;
        s.put_rating("30");
        ASSERT_NO_FATAL_FAILURE(s.start());
        EXPECT_TRUE(file_becomes(s, "30.500000"));
        kill(s.pid, SIGTERM);
        EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
        EXPECT_EQ("30.500000", s.rating_file());
    }
    {
        // A game given up through the new-game button is saved; the half-played one after it is not charged.
        Session s;
        s.put_rating("2.000000");
        ASSERT_NO_FATAL_FAILURE(s.start());
        s.new_game_button();
        EXPECT_TRUE(file_becomes(s, "1.500000"));
        ASSERT_TRUE(wait_for([&] { return s.settled_board().count(WHITE) == 1; })) << s.board().text();
        const BOARD_SEEN board = s.board();
        s.click_point(board.code[2][2] == EMPTY ? 2 : 1, 2);
        const BOARD_SEEN after = after_move(s, board);
        kill(s.pid, SIGHUP);
        EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
        // Should that move have ended the game, it is charged as any finished game.
        const char *expected = !ended(after) ? "1.500000" : after.count(WHITE_DEAD) ? "2.000000" : "1.000000";
        EXPECT_EQ(expected, s.rating_file()) << after.text();
    }
    {
        // The reset is saved; Ctrl-C in the terminal ends the game through its exit.
        Session s;
        s.put_rating("-1.000000");
        ASSERT_NO_FATAL_FAILURE(s.start());
        ASSERT_NO_FATAL_FAILURE(s.game_menu(2));
        EXPECT_TRUE(file_becomes(s, "0.000000"));
        kill(s.pid, SIGINT);
        EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
        EXPECT_EQ("0.000000", s.rating_file());
    }
    // Started with the three blocked (the mask is inherited across exec), each still ends the game through
    // its exit, which leaves a first run's file; so does one already pending when the game starts.
    const std::string block = "#!/bin/sh\nexec perl -MPOSIX -e 'sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGTERM, "
                              "SIGHUP, SIGINT)) or die;";
    for (const int signal_number : {SIGTERM, SIGHUP, SIGINT, 0}) {
        SCOPED_TRACE(signal_number != 0 ? strsignal(signal_number) : "SIGTERM pending at the start");
        Session s;
        const std::string pending = signal_number != 0 ? "" : " kill TERM => $$;";
        ASSERT_NO_FATAL_FAILURE(start_wrapped(s, block + pending + " exec @ARGV' \"$@\"\n", signal_number != 0));
        if (signal_number != 0) kill(s.pid, signal_number);
        EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
        EXPECT_EQ("0.000000", s.rating_file());
    }
    {
        // The X server drops the connection: the program cannot go on, but the game given up is saved.
        Session s;
        s.put_rating("1.000000");
        ASSERT_NO_FATAL_FAILURE(s.start());
        s.new_game_button();
        EXPECT_TRUE(file_becomes(s, "0.500000"));
        XKillClient(s.display, s.main);
        XSync(s.display, False);
        EXPECT_NE(-1, s.wait_exit()) << "the program did not end";
        EXPECT_EQ("0.500000", s.rating_file());
        EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, s.folder_entries());
    }
}

TEST(Session, UserFilesTheLinkAndTheModeOfTheRatingFileStayAsTheyWere) {
    {
        // korvani.ini links to a private file in another folder; beside both lie the user's own files.
        Session s;
        s.as_user = true;
        std::filesystem::create_directory(s.folder + "/saves");
        std::filesystem::create_symlink("saves/rating", s.folder + "/korvani.ini");
        std::ofstream(s.folder + "/saves/rating") << "2.000000";
        std::filesystem::permissions(s.folder + "/saves/rating", std::filesystem::perms::owner_read |
                                                                     std::filesystem::perms::owner_write);
        const std::vector<std::string> mine = {"korvani.ini.2024v1", "korvani.ini.backup", "korvani.ini.saved1",
                                               "saves/rating.backup", "saves/rating.XXXXXX"};
        for (const std::string &name : mine) std::ofstream(s.folder + "/" + name) << "mine: " << name;
        ASSERT_NO_FATAL_FAILURE(s.start());
        s.new_game_button();
        EXPECT_TRUE(file_becomes(s, "1.500000", "saves/rating"));
        int x = 0;
        int y = 0;
        s.origin(s.main, &x, &y);
        xdotool("mousemove " + std::to_string(x + 100) + " " + std::to_string(y + 200) + " key Escape");
        EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();

        EXPECT_TRUE(std::filesystem::is_symlink(s.folder + "/korvani.ini"));
        EXPECT_EQ("1.500000", s.file("saves/rating"));
        EXPECT_EQ(0600, s.mode("saves/rating"));
        for (const std::string &name : mine) EXPECT_EQ("mine: " + name, s.file(name));
        EXPECT_EQ((std::vector<std::string>{"korvani.ini", "korvani.ini.2024v1", "korvani.ini.backup",
                                            "korvani.ini.saved1", "saves"}),
                  s.folder_entries());
    }
    {
        // A read-only rating file in a folder the user may write to stays read-only.
        Session s;
        s.as_user = true;
        s.put_rating("1.000000");
        std::filesystem::permissions(s.folder + "/korvani.ini", std::filesystem::perms::owner_read |
                                                                    std::filesystem::perms::group_read |
                                                                    std::filesystem::perms::others_read);
        ASSERT_NO_FATAL_FAILURE(s.start());
        s.new_game_button();
        EXPECT_TRUE(file_becomes(s, "0.500000"));
        s.close_by_frame(s.main);
        EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
        EXPECT_EQ("0.500000", s.rating_file());
        EXPECT_EQ(0444, s.mode("korvani.ini"));
    }
}

TEST(Session, AnUnreadableRatingFileIsNeverReplaced) {
    Session s;
    s.as_user = true;
    s.put_rating("3.500000");
    ASSERT_EQ(0, chmod((s.folder + "/korvani.ini").c_str(), 0));
    ASSERT_NO_FATAL_FAILURE(s.start());
    // The window says so at once; the session plays from 0: no handicap.
    ASSERT_NO_FATAL_FAILURE(s.close_message("no message about the file"));
    EXPECT_EQ(25, s.settled_board().count(EMPTY)) << s.board().text();
    // A game given up: the change cannot be saved, and the user, told already, is not asked again.
    s.new_game_button();
    EXPECT_TRUE(wait_for([&] { return s.settled_board().count(WHITE) == 1; })) << s.board().text();
    EXPECT_TRUE(no_message(s));
    s.close_by_frame(s.main);
    // The session's rating is not saved: the exit says so, as any failed save does.
    EXPECT_EQ(1, s.wait_exit()) << s.stderr_tail();
    EXPECT_NE(std::string::npos, s.stderr_tail().find("Error: rating_write"));
    EXPECT_EQ("3.500000", s.rating_file());
    EXPECT_EQ(0, s.mode("korvani.ini"));
    EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, s.folder_entries());
}

TEST(Session, AFifoAsTheRatingFileDoesNotHoldUpTheStart) {
    Session s;
    ASSERT_EQ(0, mkfifo((s.folder + "/korvani.ini").c_str(), 0644));
    ASSERT_NO_FATAL_FAILURE(s.start());
    ASSERT_NO_FATAL_FAILURE(s.close_message("no message about the file"));
    // Nothing to save: the exit is no failure.
    s.close_by_frame(s.main);
    EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
    struct stat info {};
    ASSERT_EQ(0, lstat((s.folder + "/korvani.ini").c_str(), &info));
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(Session, AFailedSaveIsToldInTheWindowAndTriedAgainWithTheNextChange) {
    Session s;
    s.as_user = true;
    s.put_rating("1.000000");
    // Read-only, so that it is not written in place once the folder is read-only too.
    ASSERT_EQ(0, chmod((s.folder + "/korvani.ini").c_str(), 0444));
    ASSERT_NO_FATAL_FAILURE(s.start());
    const std::string folder = s.folder;
    ASSERT_EQ(0, chmod(folder.c_str(), 0555));
    s.new_game_button();
    ASSERT_NO_FATAL_FAILURE(s.close_message("no message about the failed save"));
    // Failing again: told once is enough.
    s.new_game_button();
    EXPECT_TRUE(no_message(s));
    EXPECT_EQ("1.000000", s.rating_file());
    // The folder writable again: the next change saves all three games given up.
    ASSERT_EQ(0, chmod(folder.c_str(), 0755));
    s.new_game_button();
    EXPECT_TRUE(file_becomes(s, "-0.500000"));
    // A change the exit cannot save either: the exit says so with its line and its status.
    ASSERT_EQ(0, chmod(folder.c_str(), 0555));
    s.new_game_button();
    ASSERT_NO_FATAL_FAILURE(s.close_message("no message about the failed save after a success"));
    s.close_by_frame(s.main);
    EXPECT_EQ(1, s.wait_exit()) << s.stderr_tail();
    EXPECT_NE(std::string::npos, s.stderr_tail().find("Error: rating_write"));
    ASSERT_EQ(0, chmod(folder.c_str(), 0755));
    EXPECT_EQ("-0.500000", s.rating_file());
    EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, s.folder_entries());
}

TEST(Session, TwoCopiesInOneFolderKeepTheGamesOfBoth) {
    Session a;
    a.put_rating("3.000000");
    ASSERT_NO_FATAL_FAILURE(a.start());
    Session b;
    b.share_folder(a);
    b.args = {"-geometry", "+300+0"};
    ASSERT_NO_FATAL_FAILURE(b.start());
    // Each gives a game up in turn; each new game takes its handicap from what the file holds.
    a.new_game_button();
    EXPECT_TRUE(file_becomes(a, "2.500000"));
    b.new_game_button();
    EXPECT_TRUE(file_becomes(a, "2.000000"));
    EXPECT_TRUE(wait_for([&] { return b.settled_board().count(WHITE) == 2; })) << b.board().text();
    a.new_game_button();
    EXPECT_TRUE(file_becomes(a, "1.500000"));
    EXPECT_TRUE(wait_for([&] { return a.settled_board().count(WHITE) == 1; })) << a.board().text();
    a.close_by_frame(a.main);
    EXPECT_EQ(0, a.wait_exit()) << a.stderr_tail();
    b.close_by_frame(b.main);
    EXPECT_EQ(0, b.wait_exit()) << b.stderr_tail();
    EXPECT_EQ("1.500000", a.rating_file());
    EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, a.folder_entries());
}

TEST(Session, TheGameSurvivesItsStandardStreams) {
    const struct {
        const char *what;
        const char *script;
    } cases[] = {
        {"the error stream closed", "#!/bin/sh\nexec \"$@\" 2>&- <&- >&-\n"},
        {"the error stream a pipe whose reader has gone", "#!/bin/bash\nexec 2> >(:)\nwait $!\nexec \"$@\"\n"},
        // Its buffer made as small as a pipe's may be, and the escapes forced on: full at the first search.
        {"the error stream a pipe that nobody reads",
         "#!/bin/bash\nexec 2> >(exec sleep 60 >/dev/null 2>&1)\nperl -e 'fcntl(STDERR, 1031, 4096) or die'\n"
         "CLICOLOR_FORCE=1 exec \"$@\"\n"},
        // A socket, as a launcher or the service manager hands one to a log, whose other end is held
        // and never read.
        {"the error stream a socket that nobody reads",
         "#!/usr/bin/perl\nuse Socket;\nsocketpair(my $game, my $log, AF_UNIX, SOCK_STREAM, 0) or die;\n"
         "setsockopt($game, SOL_SOCKET, SO_SNDBUF, 4096);\nif (!fork) { close STDOUT; close STDERR; sleep 60; exit }\nclose $log;\n"
         "open(STDERR, '>&', $game) or die;\n$ENV{CLICOLOR_FORCE} = 1;\nexec @ARGV;\n"},
        // A terminal whose reader has stopped: a pseudo-terminal whose other side is held and never read.
        {"the error stream a terminal that nobody reads",
         "#!/usr/bin/perl\nuse Fcntl;\nsysopen(my $master, '/dev/ptmx', O_RDWR | O_NOCTTY) or die;\n"
         "my $n = pack('i', 0);\nioctl($master, 0x40045431, $n) or die;\n"
         "ioctl($master, 0x80045430, $n) or die;\nif (!fork) { close STDOUT; close STDERR; sleep 60; exit }\n"
         "sysopen(STDERR, '/dev/pts/' . unpack('i', $n), O_WRONLY | O_NOCTTY) or die;\n"
         "$ENV{CLICOLOR_FORCE} = 1;\nexec @ARGV;\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        // -1: the computer opens, and its search writes the trace's colour escapes at once.
        Session s;
        s.put_rating("-1.000000");
        ASSERT_NO_FATAL_FAILURE(start_wrapped(s, c.script));
        const BOARD_SEEN start = s.settled_board();
        ASSERT_EQ(2, stones(start)) << start.text();
        int k = 0;
        while (start.code[k / 5][k % 5] != EMPTY) ++k;
        s.click_point(k / 5, k % 5);
        const BOARD_SEEN after = after_move(s, start);
        EXPECT_GT(stones(after), stones(start)) << after.text();
        kill(s.pid, SIGTERM);
        EXPECT_EQ(0, s.wait_exit()) << "the game did not leave through its exit";
    }
}

TEST(Session, AFileSizeLimitFailsTheSaveButNotTheGame) {
    // Under a limit of 0 bytes a write to a file raises SIGXFSZ, which would end the game half way
    // through a save; the save fails instead, and says so as any other failure does (but for the exit's
    // line: the test keeps the error stream in a file, which the limit stops too).
    Session s;
    s.put_rating("2.000000");
    ASSERT_NO_FATAL_FAILURE(start_wrapped(s, "#!/bin/sh\nulimit -f 0\nexec \"$@\"\n"));
    s.new_game_button();
    ASSERT_NO_FATAL_FAILURE(s.close_message("no message about the failed save"));
    EXPECT_TRUE(wait_for([&] { return s.settled_board().count(WHITE) == 1; })) << s.board().text();
    kill(s.pid, SIGTERM);
    EXPECT_EQ(1, s.wait_exit()) << s.stderr_tail();
    EXPECT_EQ("2.000000", s.rating_file());
    EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, s.folder_entries());
}

TEST(Session, AHeldLockNeitherFreezesTheWindowNorLosesTheChange) {
    Session s;
    s.put_rating("2.000000");
    ASSERT_NO_FATAL_FAILURE(s.start());
    // Another copy of the game, stuck, holds the lock a save takes.
    const int folder = open((s.folder + "/korvani.ini.lock").c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(0, flock(folder, LOCK_EX));
    s.new_game_button();
    ASSERT_NO_FATAL_FAILURE(s.close_message("no message about the change not saved"));
    EXPECT_TRUE(wait_for([&] { return s.settled_board().count(WHITE) == 1; })) << s.board().text();
    EXPECT_EQ("2.000000", s.rating_file());
    // The lock let go: the change is saved with no further game.
    ASSERT_EQ(0, flock(folder, LOCK_UN));
    EXPECT_TRUE(file_becomes(s, "1.500000"));
    // Held again, with a change pending at a signal to end: the exit waits a moment only, and says the
    // change was not saved.
    ASSERT_EQ(0, flock(folder, LOCK_EX));
    s.new_game_button();
    ASSERT_NO_FATAL_FAILURE(s.close_message("no message about the change not saved"));
    kill(s.pid, SIGTERM);
    EXPECT_EQ(1, s.wait_exit()) << s.stderr_tail();
    EXPECT_NE(std::string::npos, s.stderr_tail().find("Error: rating_write"));
    close(folder);
    EXPECT_EQ("1.500000", s.rating_file());
}

TEST(Session, ALostDisplaySavesTheChangeAnEarlierFailureLeft) {
    // Saved once the folder is writable again; still failing, the exit says the change is lost.
    for (const bool writable : {true, false}) {
        SCOPED_TRACE(writable ? "the folder writable again" : "the folder still read-only");
        Session s;
        s.as_user = true;
        s.put_rating("1.000000");
        // Read-only, so that it is not written in place while the folder is read-only.
        ASSERT_EQ(0, chmod((s.folder + "/korvani.ini").c_str(), 0444));
        ASSERT_NO_FATAL_FAILURE(s.start());
        ASSERT_EQ(0, chmod(s.folder.c_str(), 0555));
        s.new_game_button();
        ASSERT_NO_FATAL_FAILURE(s.close_message("no message about the failed save"));
        if (writable) {
            ASSERT_EQ(0, chmod(s.folder.c_str(), 0755));
        }
        XKillClient(s.display, s.main);
        XSync(s.display, False);
        EXPECT_EQ(1, s.wait_exit()) << s.stderr_tail();
        ASSERT_EQ(0, chmod(s.folder.c_str(), 0755));
        EXPECT_NE(std::string::npos, s.stderr_tail().find("X I/O error"));
        EXPECT_EQ(!writable, s.stderr_tail().find("Error: rating_write") != std::string::npos) << s.stderr_tail();
        EXPECT_EQ(writable ? "0.500000" : "1.000000", s.rating_file());
        EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, s.folder_entries());
    }
}

TEST(Session, ToolkitOptionsAndIgnoredSignalsAreKeptButNotTheWindowsSizeNorTheToolkitsFiles) {
    // -geometry moves the window but leaves its size, given in any form, even one the X server refuses; a
    // tooltip shown or asked for on the command line writes none of the toolkit's preference files into HOME.
    const struct {
        std::vector<std::string> args;
        int x; // the position asked, or -1
        int y;
    } cases[] = {
        {{"-geometry", "150x120+10+20", "-tooltips"}, 10, 20},
        {{"-geometry", "65536x65536"}, -1, -1},
        // X's grammar has more forms with a size: the width or the height alone, signed, long runs of zeros.
        {{"-geometry", "500"}, -1, -1},
        {{"-g", "=x500+40+50"}, 40, 50},
        {{"-geometry", "500x-5"}, -1, -1},
        {{"-geometry", "0000000000000000000000000000000000000000000000000005"}, -1, -1},
        // The longest class the toolkit holds.
        {{"-name", std::string(511, 'k')}, -1, -1},
    };
    const char *const home = std::getenv("HOME");
    const std::string previous_home = home ? home : "";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args[1]);
        Session s;
        s.args = c.args;
        const std::string own_home = s.top + "/home";
        std::filesystem::create_directory(own_home);
        setenv("HOME", own_home.c_str(), 1);
        s.start();
        setenv("HOME", previous_home.c_str(), 1);
        if (HasFatalFailure()) return;
        XWindowAttributes a;
        ASSERT_TRUE(XGetWindowAttributes(s.display, s.main, &a));
        EXPECT_EQ(230, a.width);
        EXPECT_EQ(300, a.height);
        int x = 0;
        int y = 0;
        s.origin(s.main, &x, &y);
        EXPECT_TRUE(c.x < 0 || (x == c.x && y == c.y)) << "placed at " << x << ", " << y;
        xdotool("mousemove " + std::to_string(x + 30) + " " + std::to_string(y + 67));
        EXPECT_TRUE(wait_for([&] { return s.popup_shown(); })) << "the new-game button's tooltip did not show";
        EXPECT_TRUE(std::filesystem::is_empty(own_home)) << "the toolkit wrote into HOME";
        xdotool("mousemove 700 700");
    }
    // Started ignoring a hangup and Ctrl-C (nohup, a background job), the game goes on ignoring them.
    Session s;
    ASSERT_NO_FATAL_FAILURE(start_wrapped(s, "#!/bin/sh\ntrap '' HUP INT\nexec \"$@\"\n"));
    kill(s.pid, SIGHUP);
    kill(s.pid, SIGINT);
    int status = 0;
    EXPECT_FALSE(wait_for([&] { return waitpid(s.pid, &status, WNOHANG) == s.pid; }, 1000))
        << "the game ended on an ignored signal, status " << status;
    kill(s.pid, SIGTERM);
    EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
}

namespace {

// Where the screen shows the board's cursor: the point (row * 5 + col) whose square alone holds the
// cursor's blue, -1 when the window has no blue at all, -2 when blue stands elsewhere too.
int cursor_seen(Session &s) {
    const unsigned blue = 0x0000ff;
    const SHOT w = s.steady(0, 0, 230, 300);
    const int all = static_cast<int>(std::count(w.rgb.begin(), w.rgb.end(), blue));
    for (int k = 0; k < 25 && all > 0; ++k) {
        int inside = 0;
        for (int y = GRID_Y[k / 5] - 16; y <= GRID_Y[k / 5] + 16; ++y)
            for (int x = GRID_X[k % 5] - 16; x <= GRID_X[k % 5] + 16; ++x) inside += w.at(x, y) == blue;
        if (inside == all) return k;
    }
    return all > 0 ? -2 : -1;
}

} // namespace

TEST(Session, TheWholeGameWithoutAMouse) {
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    const BOARD_SEEN empty = s.board();
    ASSERT_EQ(25, empty.count(EMPTY)) << empty.text();
    EXPECT_EQ(-1, cursor_seen(s)) << "the cursor shows before any key";
    // The window takes the focus as a window manager gives it, with no click.
    xdotool("windowfocus --sync " + std::to_string(s.main));

    // The first key only shows the cursor, on the centre point; the arrows move it, Return plays there.
    xdotool("key Right");
    EXPECT_TRUE(wait_for([&] { return cursor_seen(s) == 12; })) << "no cursor on the centre: " << cursor_seen(s);
    xdotool("key Right Up Return");
    const BOARD_SEEN board = after_move(s, empty);
    ASSERT_EQ(BLACK, board.code[1][3]) << board.text();
    ASSERT_EQ(1, board.count(WHITE)) << board.text();

    // Return on the taken point: the click's message, which Return answers too.
    xdotool("key Return");
    ASSERT_NE(0u, s.wait_window("Сообщение")) << "no message for a taken point";
    xdotool("key Return");
    EXPECT_TRUE(s.wait_gone("Сообщение")) << "Return did not close the message";

    // Space plays the next, in a bottom corner: the one White's single stone left free.
    const int next = board.code[4][4] == EMPTY ? 24 : 20;
    xdotool(next == 24 ? "key Down Down Down Right space" : "key Down Down Down Left Left Left space");
    const BOARD_SEEN second = after_move(s, board);
    EXPECT_EQ(BLACK, second.code[next / 5][next % 5]) << second.text();
    EXPECT_EQ(next, cursor_seen(s));

    // Ctrl+N gives the game up as the button does: -0.5 saved, and the computer opens the next one.
    xdotool("key ctrl+n");
    EXPECT_TRUE(file_becomes(s, "-0.500000"));
    ASSERT_TRUE(wait_for([&] { return s.settled_board().count(WHITE) == 1 && s.board().count(BLACK) == 0; }))
        << s.board().text();

    xdotool("key F1");
    const Window rules = s.wait_window("Правила игры");
    ASSERT_NE(0u, rules) << "F1 did not open the rules";
    s.close_by_frame(rules);

    // A click puts the cursor away.
    const BOARD_SEEN opened = s.board();
    s.click_point(0, opened.code[0][0] == EMPTY ? 0 : 1);
    after_move(s, opened);
    EXPECT_EQ(-1, cursor_seen(s)) << "the cursor stayed after a click";

    // F10 opens "Игра"; its third item is "Выход". The game in progress is not charged.
    xdotool("key F10");
    ASSERT_TRUE(wait_for([&] { return s.popup_shown(); })) << "F10 did not open the menu";
    xdotool("key Down Down Down Return");
    EXPECT_EQ(0, s.wait_exit()) << s.stderr_tail();
    EXPECT_EQ("-0.500000", s.rating_file());
}
