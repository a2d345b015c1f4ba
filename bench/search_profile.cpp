// A steady workload for valgrind's callgrind: N searches of one player from the empty board or the
// fixed middle game, after one search that makes the records the player reuses. Counting only inside
// profiled_searches gives the instructions of N searches, whatever the machine's load:
//   valgrind --tool=callgrind --toggle-collect='profiled_searches*' korvani_search_profile LEVEL N [middle]
//   callgrind_annotate --inclusive=yes callgrind.out.<pid>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/game.h"
#include "positions.h"

// Not inlined, so that callgrind can be told to count inside it alone.
__attribute__((noinline)) void profiled_searches(PLAYER *player, int searches) {
    int i = -1;
    int j = -1;
    for (int k = 0; k < searches; ++k) player_best_move(player, &i, &j);
}

int main(int argc, char **argv) {
    if (argc < 3 || (argc == 4 && std::strcmp(argv[3], "middle") != 0) || argc > 4) {
        std::fprintf(stderr, "usage: korvani_search_profile LEVEL SEARCHES [middle]\n");
        return 2;
    }
    const int level = std::atoi(argv[1]);
    const int searches = std::atoi(argv[2]);
    int n = 0;
    GAME *game = bench::search_game(level, argc == 4, &n);
    int i = -1;
    int j = -1;
    player_best_move(&game->players[n], &i, &j); // outside the count: makes the records reused later
    profiled_searches(&game->players[n], searches);
    game_free(game);
    return 0;
}
