#include "positions.h"

#include <cstdlib>
#include <string>

#include "engine/groups.h"
#include "model/game.h"

namespace bench {

const char MIDDLE_GAME[] = ". . . . ./"
                           ". X O . ./"
                           ". O X X ./"
                           ". X O O ./"
                           ". . X O .";

BOARD *board_from_picture(const char *picture) {
    std::vector<std::string> rows(1);
    for (const char *p = picture; *p; ++p) {
        if (*p == '/') rows.emplace_back();
        else if (*p != ' ') rows.back() += *p;
    }
    BOARD *board = board_new(static_cast<int>(rows.size()), static_cast<int>(rows[0].size()));
    for (int i = 0; i < board->rows; ++i)
        for (int j = 0; j < board->cols; ++j) board->cells[i * board->cols + j] = stone_from_char(rows[i][j]);
    return board;
}

std::vector<BOARD *> typical_positions() {
    std::vector<BOARD *> positions;
    for (unsigned seed = 1; seed <= 8; ++seed) {
        GAME *game = game_new(5, 5);
        game_add_player(game, "tiku2", 0, STONE_WHITE);
        game_add_player(game, "tiku2", 0, STONE_BLACK);
        std::srand(seed);
        int current = 1;
        short stone = STONE_BLACK;
        int winner = 0;
        while (winner == 0 && game_computer_move(game, current, stone)) {
            winner = game_check_end(game);
            positions.push_back(board_copy(game->board));
            stone = static_cast<short>(stone_opponent(stone));
            current = 1 - current;
        }
        game_free(game);
    }
    return positions;
}

std::vector<BOARD *> random_middle_games(int count) {
    std::vector<BOARD *> boards;
    GROUPS *groups = groups_create(5, 5, nullptr);
    std::srand(20261207);
    while (static_cast<int>(boards.size()) < count) {
        BOARD *board = board_new(5, 5);
        for (int stone = 0; stone < 10; ++stone) {
            int i = 0;
            int j = 0;
            board_random_empty(board, &i, &j);
            board->cells[i * 5 + j] = stone % 2 == 0 ? STONE_BLACK : STONE_WHITE;
        }
        groups_find(groups, board);
        if (groups_find_dead(groups, STONE_WHITE) || groups_find_dead(groups, STONE_BLACK)) {
            board_free(board);
            continue;
        }
        boards.push_back(board);
    }
    groups_free(groups);
    return boards;
}

GAME *search_game(int level, bool middle, int *player) {
    GAME *game = game_new(5, 5);
    if (middle) {
        BOARD *picture = board_from_picture(MIDDLE_GAME);
        game_set_board(game, picture->cells);
        board_free(picture);
    }
    const std::string name = "tiku" + std::to_string(level);
    *player = game_add_player(game, name.c_str(), 0, STONE_WHITE);
    std::srand(1);
    return game;
}

} // namespace bench
