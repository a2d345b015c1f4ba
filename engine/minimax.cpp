#include "engine/minimax.h"

#include <cstdlib>
#include <new>

#include "support/common.h"

namespace {

// Beyond any value an evaluation gives (the game's stays within -101..101), so the first move of a node
// is always accepted.
constexpr int MAX_START = -1100;
constexpr int MIN_START = 1100;

bool is_decided(int value) { return value >= MM_DECIDED || value <= -MM_DECIDED; }

// Odd levels minimise, even levels maximise. A tie replaces the current best with probability 50/101:
// of k equal moves the first survives with (51/101)^(k-1), so the choice varies from game to game
// without favouring the last move listed.
bool accepts(int numlev, int v, int best, const void *best_move) {
    if (numlev % 2 != 0 ? v < best : v > best) return true;
    if (v != best) return false;
    if (!best_move) return true;
    return std::rand() % 101 < 50;
}

} // namespace

MM *mm_create(MM_GEN_MOVES gen_moves, MM_EVALUATE evaluate, MM_MAKE_MOVE make_move,
              MM_MOVE_TEXT move_text, MM_AFTER_MOVE after_move) {
    MM *mm = new (std::nothrow) MM;
    if (!mm) return nullptr;
    mm->gen_moves = gen_moves;
    mm->evaluate = evaluate;
    mm->make_move = make_move;
    mm->move_text = move_text;
    mm->after_move = after_move;
    mm->numlev = -1;
    return mm;
}

void mm_free(MM *mm) { delete mm; }

namespace {

// Steps 8 and 9 for a node that is not a leaf: every move searched in list order. Apart from the leaf
// steps, so that the leaves, most of the nodes, run through a short function.
__attribute__((noinline)) int expand(MM *mm, void *position, int maxlev, void **moves, int num_moves,
                                     void **best_move, void *user) {
    const bool maximising = mm->numlev % 2 == 0;
    int result = maximising ? MAX_START : MIN_START;
    for (int k = 0; k < num_moves; ++k) {
        void *move = moves[k];
        if (YTraceActive()) YTrace("move: %s \n", mm->move_text(move, user));
        void *child = mm->make_move(user, position, move);
        if (mm->after_move) mm->after_move(user, child);
        const int v = mm_minimax(mm, child, maxlev, nullptr, user);
        if (YTraceActive()) YTrace("minimax= % d \n", v);
        if (accepts(mm->numlev, v, result, *best_move)) {
            result = v;
            *best_move = move;
        }
    }
    return result;
}

// Step 9: the node's best line.
__attribute__((noinline)) void trace_best(MM *mm, int result, void *best_move, void *user) {
    if (mm->numlev % 2 == 0)
        YTrace("BestMax= % d  Move= %s \n", result, mm->move_text(best_move, user));
    else
        YTrace("BestMin= % d  Move= %s \n", result, mm->move_text(best_move, user));
}

} // namespace

int mm_minimax(MM *mm, void *position, int maxlev, void **best, void *user) {
    void *best_move = nullptr;
    YBeg("mm_minimax", 1);
    ++mm->numlev;

    void *moves[MM_MAX_MOVES];
    const int num_moves = mm->gen_moves(user, position, moves);
    const int value = mm->evaluate(user, position);
    // The trace lines are written only when the trace prints them, which in the running program is
    // never: naming every move for lines nobody sees was a tenth of a computer move.
    if (YTraceActive()) {
        YTrace("numlev   = %d (%d) \n", mm->numlev, maxlev);
        YTrace("num_moves= %d \n", num_moves);
    }

    int result = value;
    const bool leaf = mm->numlev == maxlev || num_moves == 0 || is_decided(value);
    if (!leaf) result = expand(mm, position, maxlev, moves, num_moves, &best_move, user);

    if (YTraceActive()) trace_best(mm, result, best_move, user);
    --mm->numlev;
    YEnd();
    if (best) *best = best_move;
    return result;
}
