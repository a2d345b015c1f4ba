// The steps of mm_minimax (engine/minimax.h) as a template over the way its five operations are called,
// so that a caller whose operations are known when it is compiled can search with them called directly,
// and inlined, instead of through the context's pointers. The steps, the calls and their order, the
// trace and the draws from rand() are the same in every instance: OPS only says how an operation is
// reached. minimax.cpp instantiates it with the context's pointers (mm_minimax itself); the computer
// player with its own five operations, for contexts that hold exactly those.
//
// OPS has five static functions, each taking the context first and then the operation's arguments:
// gen_moves, evaluate, make_move, move_text, and after_move, which calls the context's operation when it
// has one. It may have a sixth, silent_leaf(mm, user, child): true when, while the trace does not print,
// gen_moves and after_move on that child have no effect at all and evaluate reads no level (see
// expand_leaves); without it every child takes every step.
#pragma once

#include <cstdlib>

#include "engine/minimax.h"
#include "support/common.h"

namespace mm_steps {

// Beyond any value an evaluation gives (the game's stays within -101..101), so the first move of a node
// is always accepted.
constexpr int MAX_START = -1100;
constexpr int MIN_START = 1100;

inline bool is_decided(int value) { return value >= MM_DECIDED || value <= -MM_DECIDED; }

// Odd levels minimise, even levels maximise. A tie replaces the current best with probability 50/101:
// of k equal moves the first survives with (51/101)^(k-1), so the choice varies from game to game
// without favouring the last move listed.
inline bool accepts(int numlev, int v, int best, const void *best_move) {
    if (numlev % 2 != 0 ? v < best : v > best) return true;
    if (v != best) return false;
    if (!best_move) return true;
    return std::rand() % 101 < 50;
}

template <class OPS> int search(MM *mm, void *position, int maxlev, void **best, void *user);
template <class OPS> int search_steps(MM *mm, void *position, int maxlev, void **best, void *user);

template <class OPS, class = void> struct has_silent_leaf { static constexpr bool value = false; };
template <class OPS>
struct has_silent_leaf<OPS, decltype(void(OPS::silent_leaf(nullptr, nullptr, nullptr)))> {
    static constexpr bool value = true;
};

// Steps 8 and 9 for a node whose children are leaves by depth, while the trace does not print. The
// same as expand's loop, with what has no effect left out, for the children silent_leaf vouches for:
//  - the trace lines ("move:", "numlev", "num_moves", "minimax=", the best line) are not printed: the
//    trace does not print at this node's depth, so neither at its children's, one deeper (the level
//    does not change during the search, and the depth is back at this node's after each child);
//  - the child's block writes its two escapes and nothing between them: YBegEnd, the same bytes;
//  - gen_moves and after_move have no effect (silent_leaf), and the child's list is not read, as a
//    leaf by depth is a leaf whatever its count; its value is its evaluation, which does not read the
//    level (so the level is not raised and lowered around it), and its best move none.
// Any other child takes every step, as in expand.
template <class OPS>
__attribute__((noinline)) int expand_leaves(MM *mm, void *position, int maxlev, void **moves, int num_moves,
                                            void **best_move, void *user) {
    const bool maximising = mm->numlev % 2 == 0;
    int result = maximising ? MAX_START : MIN_START;
    for (int k = 0; k < num_moves; ++k) {
        void *move = moves[k];
        void *child = OPS::make_move(mm, user, position, move);
        int v;
        if (OPS::silent_leaf(mm, user, child)) {
            v = OPS::evaluate(mm, user, child);
            YBegEnd("mm_minimax");
        } else {
            OPS::after_move(mm, user, child);
            v = search_steps<OPS>(mm, child, maxlev, nullptr, user);
        }
        if (accepts(mm->numlev, v, result, *best_move)) {
            result = v;
            *best_move = move;
        }
    }
    return result;
}

// Steps 8 and 9 for a node that is not a leaf: every move searched in list order. A function of its own,
// so that the node's other steps, which are written out in its parent's loop, stay short.
template <class OPS>
__attribute__((noinline)) int expand(MM *mm, void *position, int maxlev, void **moves, int num_moves,
                                     void **best_move, void *user) {
    if constexpr (has_silent_leaf<OPS>::value)
        if (mm->numlev + 1 == maxlev && !YTraceActive())
            return expand_leaves<OPS>(mm, position, maxlev, moves, num_moves, best_move, user);
    const bool maximising = mm->numlev % 2 == 0;
    int result = maximising ? MAX_START : MIN_START;
    for (int k = 0; k < num_moves; ++k) {
        void *move = moves[k];
        if (YTraceActive()) YTrace("move: %s \n", OPS::move_text(mm, move, user));
        void *child = OPS::make_move(mm, user, position, move);
        OPS::after_move(mm, user, child);
        // The child's search, its steps written out here: most children are leaves, and a call per
        // child cost more than their steps.
        const int v = search_steps<OPS>(mm, child, maxlev, nullptr, user);
        if (YTraceActive()) YTrace("minimax= % d \n", v);
        if (accepts(mm->numlev, v, result, *best_move)) {
            result = v;
            *best_move = move;
        }
    }
    return result;
}

// Step 9: the node's best line.
template <class OPS> __attribute__((noinline)) void trace_best(MM *mm, int result, void *best_move, void *user) {
    if (mm->numlev % 2 == 0)
        YTrace("BestMax= % d  Move= %s \n", result, OPS::move_text(mm, best_move, user));
    else
        YTrace("BestMin= % d  Move= %s \n", result, OPS::move_text(mm, best_move, user));
}

// The search, step by step as mm_minimax is described.
template <class OPS>
__attribute__((always_inline)) inline int search_steps(MM *mm, void *position, int maxlev, void **best, void *user) {
    void *best_move = nullptr;
    YBeg("mm_minimax", 1);
    ++mm->numlev;

    void *moves[MM_MAX_MOVES];
    const int num_moves = OPS::gen_moves(mm, user, position, moves);
    const int value = OPS::evaluate(mm, user, position);
    // The trace lines are written only when the trace prints them, which in the running program is
    // never: naming every move for lines nobody sees was a tenth of a computer move.
    if (YTraceActive()) {
        YTrace("numlev   = %d (%d) \n", mm->numlev, maxlev);
        YTrace("num_moves= %d \n", num_moves);
    }

    int result = value;
    const bool leaf = mm->numlev == maxlev || num_moves == 0 || is_decided(value);
    if (!leaf) result = expand<OPS>(mm, position, maxlev, moves, num_moves, &best_move, user);

    if (YTraceActive()) trace_best<OPS>(mm, result, best_move, user);
    --mm->numlev;
    YEnd();
    if (best) *best = best_move;
    return result;
}

// The search as a function: mm_minimax, and the root of the player's searches.
template <class OPS> int search(MM *mm, void *position, int maxlev, void **best, void *user) {
    return search_steps<OPS>(mm, position, maxlev, best, user);
}

} // namespace mm_steps
