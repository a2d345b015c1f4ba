#include "model/game.h"

#include <cstdio>

#include "model/print.h"
#include "support/common.h"

GAME *game_new(int rows, int cols) {
    GAME *game = new GAME();
    game->rows = rows;
    game->cols = cols;
    game->players_num = 0;
    game->board = board_new(rows, cols);
    game->groups = groups_create(rows, cols, game->board);
    return game;
}

void game_free(GAME *game) {
    if (!game) return;
    for (int n = 0; n < game->players_num; ++n) player_release(&game->players[n]);
    groups_free(game->groups);
    board_free(game->board);
    delete game;
}

int game_add_player(GAME *game, const char *name, int unused, short colour) {
    (void)unused;
    if (game->players_num >= GAME_MAX_PLAYERS || !name) YFatal("game_add_player");
    const int n = game->players_num;
    PLAYER *player = &game->players[n];
    player_init(player, name, colour, game->board);
    // A name without a level searches as deep as the board has points.
    if (player->level == 0) player->level = game->rows * game->cols;
    ++game->players_num;
    return n;
}

int game_move(GAME *game, int i, int j, short stone) {
    if (!board_is_empty(game->board, i, j)) return 0;
    board_set_move(game->board, stone, i, j);
    groups_add_move(game->groups, stone, i, j);
    return 1;
}

int game_computer_move(GAME *game, int n, short stone) {
    int i = -1;
    int j = -1;
    player_best_move(&game->players[n], &i, &j);
    if (i < 0) return 0; // the search gave no point
    return game_move(game, i, j, stone);
}

int game_check_end(GAME *game) {
    int white_lost = 0;
    int black_lost = 0;
    groups_check_end(game->groups, 1, &white_lost, &black_lost);
    if (white_lost > 0) return STONE_BLACK;
    if (black_lost > 0) return STONE_WHITE;
    return 0;
}

short game_random_point(GAME *game, int unused, int *i, int *j) {
    (void)unused;
    return static_cast<short>(board_random_empty(game->groups->board, i, j));
}

void game_get_board(const GAME *game, int *out) {
    for (int k = 0; k < game->rows * game->cols; ++k) out[k] = game->board->cells[k];
}

void game_set_point(GAME *game, int i, int j, short stone) { game->board->cells[i * game->cols + j] = stone; }

void game_set_board(GAME *game, const int *codes) {
    for (int i = 0; i < game->rows; ++i)
        for (int j = 0; j < game->cols; ++j)
            game_set_point(game, i, j, static_cast<short>(codes[i * game->cols + j]));
}

void game_print(const GAME *game) { board_print(game->board); }

int game_play(GAME *game, const char *first, const char *second, int verbose, int unused) {
    (void)unused;
    const int white = game_add_player(game, first, 0, STONE_WHITE);
    const int black = game_add_player(game, second, 0, STONE_BLACK);
    return game_play_players(game, white, black, verbose);
}

int game_play_players(GAME *game, int white, int black, int verbose) {
    // Black moves first.
    int current = black;
    short stone = STONE_BLACK;
    int winner = 0;
    int idle = 0; // turns in a row in which the side to move put no stone
    do {
        idle = game_computer_move(game, current, stone) ? 0 : idle + 1;
        winner = game_check_end(game);
        if (verbose) game_print(game);
        stone = static_cast<short>(stone_opponent(stone));
        current = current == black ? white : black;
        // Play from the empty board always ends with a lost group. A board set with game_set_board may
        // be full, or hold a group already without dame, which the end test of the moves never looks at;
        // then neither side gets a move, and waiting for a winner would never end. The game ends there
        // without a winner and nothing marked.
    } while (winner == 0 && idle < 2);
    if (verbose) {
        if (winner == 0)
            std::printf("--------------> no move for either side, no winner! \n");
        else
            std::printf("--------------> %s win! \n", winner == STONE_WHITE ? "WHITE" : "BLACK");
    }
    return winner;
}
