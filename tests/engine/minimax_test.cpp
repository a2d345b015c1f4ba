// The generic search on hand-made game trees: each node has a name, a value and its children; a move is
// the index of a child. The operations log every call, so that their order can be checked.
#include "engine/minimax.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/common.h"
#include "tests/test_board.h"

namespace {

struct Node {
    std::string name;
    int value;
    std::vector<int> children; // indices into the tree; a move points at one of these
};

struct Tree {
    std::vector<Node> nodes;
    MM *mm = nullptr;
    std::string log;
};

Tree make_tree(std::vector<Node> nodes) {
    Tree t;
    t.nodes = std::move(nodes);
    return t;
}

Tree &tree_of(void *user) { return *static_cast<Tree *>(user); }
Node &node_of(void *position) { return *static_cast<Node *>(position); }

int tree_gen(void *user, void *position, void **moves) {
    Node &n = node_of(position);
    tree_of(user).log += "gen " + n.name + "@" + std::to_string(tree_of(user).mm->numlev) + "; ";
    for (size_t k = 0; k < n.children.size(); ++k) moves[k] = &n.children[k];
    return static_cast<int>(n.children.size());
}

int tree_eval(void *user, void *position) {
    tree_of(user).log += "eval " + node_of(position).name + "; ";
    return node_of(position).value;
}

void *tree_make(void *user, void *, void *move) {
    Node &child = tree_of(user).nodes[*static_cast<int *>(move)];
    tree_of(user).log += "make " + child.name + "; ";
    return &child;
}

const char *tree_text(void *move, void *user) {
    return move ? tree_of(user).nodes[*static_cast<int *>(move)].name.c_str() : "";
}

int tree_after(void *user, void *position) {
    tree_of(user).log += "after " + node_of(position).name + "; ";
    return 7;
}

struct Search {
    int value;
    std::string best; // name of the best move, "" for none
};

Search run(Tree &t, int maxlev, bool with_after = true) {
    Owned<MM, mm_free> mm(mm_create(tree_gen, tree_eval, tree_make, tree_text, with_after ? tree_after : nullptr));
    EXPECT_EQ(mm->numlev, -1);
    t.mm = mm.get();
    static int untouched = -1;
    void *best = &untouched; // so that "no move" must be written
    const int value = mm_minimax(mm.get(), &t.nodes[0], maxlev, &best, &t);
    EXPECT_EQ(mm->numlev, -1);
    EXPECT_EQ(mm_minimax(mm.get(), &t.nodes[0], maxlev, nullptr, &t), value); // the next search starts at 0
    t.mm = nullptr;
    if (best == &untouched) return {value, "<best move not written>"};
    return {value, best ? t.nodes[*static_cast<int *>(best)].name : ""};
}

TEST(Minimax, EvenLevelsMaximiseOddLevelsMinimise) {
    // R has children A (4), B (-2), C (6); their children are A1 3, A2 -5, B1 1, B2 2, C1 7, C2 0.
    // Level 1 takes the largest child, C; level 2 the largest of the smallest, B with 1; a negative
    // level goes on to the bottom, here the same as level 2.
    const std::pair<int, Search> cases[] = {{1, {6, "C"}}, {2, {1, "B"}}, {-1, {1, "B"}}, {0, {0, ""}}};
    for (const auto &c : cases) {
        Tree t = make_tree({{"R", 0, {1, 2, 3}}, {"A", 4, {4, 5}}, {"B", -2, {6, 7}}, {"C", 6, {8, 9}},
                            {"A1", 3, {}}, {"A2", -5, {}}, {"B1", 1, {}}, {"B2", 2, {}}, {"C1", 7, {}}, {"C2", 0, {}}});
        const Search got = run(t, c.first);
        EXPECT_EQ(got.value, c.second.value) << "maxlev " << c.first;
        EXPECT_EQ(got.best, c.second.best) << "maxlev " << c.first;
    }
}

TEST(Minimax, LeafRulesAndOrderOfOperations) {
    struct Case {
        const char *name;
        int root_value, child_value;
        bool root_has_moves, with_after;
        int maxlev;
        Search want;
        std::string log; // of one search
    };
    const std::string root = "gen R@0; eval R; ";
    const std::string child = "make A; after A; gen A@1; eval A; ";
    const Case cases[] = {
        {"root won", 100, 0, true, true, 2, {100, ""}, root},
        {"root lost", -100, 0, true, true, 2, {-100, ""}, root},
        {"root without moves", 7, 0, false, true, 2, {7, ""}, root},
        {"level 0", 5, 0, true, true, 0, {5, ""}, root},
        {"99 is not decided; A is a leaf at level 1 although it has a move", 99, -3, true, true, 1, {-3, "A"},
         root + child},
        {"without the optional operation", 0, -3, true, false, 1, {-3, "A"}, root + "make A; gen A@1; eval A; "},
        {"a won child is not expanded", 0, 100, true, true, 3, {100, "A"}, root + child},
        {"nor is a lost one", 0, -100, true, true, 3, {-100, "A"}, root + child},
        {"the first move is taken even at the start value", 0, -1100, true, true, 1, {-1100, "A"}, root + child},
    };
    for (const Case &c : cases) {
        // R -> A -> A1: the log shows whether A was expanded.
        Tree t = make_tree({{"R", c.root_value, {}}, {"A", c.child_value, {2}}, {"A1", 50, {}}});
        if (c.root_has_moves) t.nodes[0].children = {1};
        const Search got = run(t, c.maxlev, c.with_after);
        EXPECT_EQ(got.value, c.want.value) << c.name;
        EXPECT_EQ(got.best, c.want.best) << c.name;
        EXPECT_EQ(t.log, c.log + c.log) << c.name;
    }
}

TEST(Minimax, TraceLines) {
    TraceLevelScope level(100);
    Tree t = make_tree({{"R", 0, {1, 2}}, {"A", 3, {3}}, {"B", -5, {}}, {"A1", 9, {}}});
    Owned<MM, mm_free> mm(mm_create(tree_gen, tree_eval, tree_make, tree_text, nullptr));
    t.mm = mm.get();
    const std::string out = capture_stderr([&] { mm_minimax(mm.get(), &t.nodes[0], 1, nullptr, &t); });
    EXPECT_EQ(out, colour_escape(36) + "BEG: mm_minimax \n" + "  numlev   = 0 (1) \n" + "  num_moves= 2 \n" +
                       "  move: A \n" + colour_escape(37) + "  BEG: mm_minimax \n" + "    numlev   = 1 (1) \n" +
                       "    num_moves= 1 \n" + "    BestMin=  3  Move=  \n" + "  END: mm_minimax \n" +
                       colour_escape(36) + "  minimax=  3 \n" + "  move: B \n" + colour_escape(37) +
                       "  BEG: mm_minimax \n" + "    numlev   = 1 (1) \n" + "    num_moves= 0 \n" +
                       "    BestMin= -5  Move=  \n" + "  END: mm_minimax \n" + colour_escape(36) + "  minimax= -5 \n" +
                       "  BestMax=  3  Move= A \n" + "END: mm_minimax \n" + colour_escape(0));
}

// A tie draws rand() once for each later move equal to the best so far and takes it when the draw modulo
// 101 is below 50; a worse move draws nothing. Replaying the generator from the same seed tells the choice.
TEST(Minimax, TieBreakFollowsTheGenerator) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        Tree t = make_tree({{"R", 0, {1, 2, 3, 4}}, {"a", 5, {}}, {"b", 3, {}}, {"c", 5, {}}, {"d", 5, {}}});
        std::srand(seed);
        const int r1 = std::rand() % 101, r2 = std::rand() % 101;
        const std::string want = r2 < 50 ? "d" : r1 < 50 ? "c" : "a";
        std::srand(seed);
        Owned<MM, mm_free> mm(mm_create(tree_gen, tree_eval, tree_make, tree_text, nullptr));
        t.mm = mm.get();
        void *best = nullptr;
        capture_stderr([&] { EXPECT_EQ(mm_minimax(mm.get(), &t.nodes[0], 1, &best, &t), 5); });
        ASSERT_NE(best, nullptr);
        ASSERT_EQ(t.nodes[*static_cast<int *>(best)].name, want) << "seed " << seed;
    }
}

TEST(Minimax, TieBreakDistribution) {
    const double keep = 51.0 / 101, take = 50.0 / 101;
    const std::vector<double> cases[] = {{keep, take}, {keep * keep, take * keep, take}};
    const int searches = 20000;
    std::srand(20240607);
    for (const std::vector<double> &chance : cases) {
        const int ties = static_cast<int>(chance.size());
        Tree t = make_tree({{"R", 0, {}}});
        for (int k = 0; k < ties; ++k) {
            t.nodes[0].children.push_back(k + 1);
            t.nodes.push_back({std::string(1, static_cast<char>('a' + k)), 8, {}});
        }
        Owned<MM, mm_free> mm(mm_create(tree_gen, tree_eval, tree_make, tree_text, nullptr));
        t.mm = mm.get();
        std::vector<int> chosen(ties, 0);
        capture_stderr([&] {
            for (int n = 0; n < searches; ++n) {
                void *best = nullptr;
                mm_minimax(mm.get(), &t.nodes[0], 1, &best, &t);
                chosen[*static_cast<int *>(best) - 1]++;
            }
        });
        for (int k = 0; k < ties; ++k) // within four standard deviations of the binomial count
            EXPECT_NEAR(chosen[k], chance[k] * searches, 4 * std::sqrt(searches * chance[k] * (1 - chance[k])))
                << ties << " ties, move " << k;
    }
}

} // namespace
