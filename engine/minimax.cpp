#include "engine/minimax.h"

#include <new>

#include "engine/minimax_steps.h"

namespace {

// The operations through the context's pointers.
struct ContextOps {
    static int gen_moves(MM *mm, void *user, void *position, void **moves) { return mm->gen_moves(user, position, moves); }
    static int evaluate(MM *mm, void *user, void *position) { return mm->evaluate(user, position); }
    static void *make_move(MM *mm, void *user, void *position, void *move) { return mm->make_move(user, position, move); }
    static const char *move_text(MM *mm, void *move, void *user) { return mm->move_text(move, user); }
    static void after_move(MM *mm, void *user, void *position) {
        if (mm->after_move) mm->after_move(user, position);
    }
};

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

int mm_minimax(MM *mm, void *position, int maxlev, void **best, void *user) {
    return mm_steps::search<ContextOps>(mm, position, maxlev, best, user);
}
