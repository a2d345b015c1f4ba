// korvani-check on proofs written by korvani-solve --proof: a true proof holds, one altered move breaks
// it, and a file that is no proof is refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/tools/run_tool.h"

namespace {

struct PROOF_FILE {
    std::string path;
    PROOF_FILE() {
        char name[] = "/tmp/korvani_proofXXXXXX";
        close(mkstemp(name));
        path = name;
    }
    ~PROOF_FILE() { std::remove(path.c_str()); }
    std::string text() const { return read_file(path); }
    void rewrite(const std::string &text) const { std::ofstream(path, std::ios::binary) << text; }
    // The byte offset of the walk's first move: right after the head's last line.
    size_t walk() const { return text().find("\nproof\n") + 7; }
};

// The checker's end test from what each move changed, or with --whole-board the whole board's analysis
// beside it, which stops the check with status 4 at their first difference: every case runs both ways.
const char *const CHECKERS[] = {"", "--whole-board "};

RUN check(const PROOF_FILE &proof, const char *options = "") {
    return run_tool(KORVANI_CHECK, options + ("'" + proof.path + "'"));
}

TEST(Check, AcceptsTheSolversProofsAndBoundsTheGamesLength) {
    struct ROW {
        const char *args;
        const char *accepted;
    };
    // The bounds on 2 x 2 to 4 x 4 are the exact lengths of the perfect game: 4, 7 and 14 plies.
    const ROW rows[] = {
        {"--size 5", "accepted: Black wins on 5 x 5 after the moves (none), within 23 plies against any defence"},
        {"--size 2", "accepted: White wins on 2 x 2 after the moves (none), within 4 plies against any defence"},
        {"--size 3", "accepted: Black wins on 3 x 3 after the moves (none), within 7 plies against any defence"},
        {"--size 4", "accepted: White wins on 4 x 4 after the moves (none), within 14 plies against any defence"},
        {"--size 5 --moves 'c3 c4 b4'", "accepted: Black wins on 5 x 5 after the moves c3 c4 b4, within "},
        // 7 x 7 keeps its positions in two words: a middle game with 23 points empty.
        {"--size 7 --table 64 --moves 'c6 e6 a4 g1 f3 c3 e5 b5 b6 f5 d2 g4 c5 g5 e2 f4 c7 f2 g3 a1 e7 e1 e3 d3 c4 f7'",
         "accepted: Black wins on 7 x 7 after the moves c6 e6 a4 g1 f3 c3 e5 b5 b6 f5 d2 g4 c5 g5 e2 f4 c7 f2 g3 a1 e7 "
         "e1 e3 d3 c4 f7, within 7 plies against any defence"},
        // The winner takes a group at once from the start, so the walk is empty: Black takes a1; White
        // takes a1 where each side has a group at one dame.
        {"--size 5 --moves 'b1 a1'", "accepted: Black wins on 5 x 5 after the moves b1 a1, within 1 plies"},
        {"--size 5 --moves 'a1 b1 c1'", "accepted: White wins on 5 x 5 after the moves a1 b1 c1, within 1 plies"},
    };
    for (const ROW &row : rows) {
        SCOPED_TRACE(row.args);
        PROOF_FILE proof;
        const RUN solve = run_tool(KORVANI_SOLVE, std::string(row.args) + " --proof '" + proof.path + "'");
        ASSERT_EQ(solve.status, 0) << solve.err;
        EXPECT_NE(solve.out.find("proof: " + proof.path + ", "), std::string::npos) << solve.out;
        for (const char *checker : CHECKERS) {
            const RUN run = check(proof, checker);
            EXPECT_EQ(run.status, 0) << checker << run.out << run.err;
            EXPECT_EQ(run.out.rfind(row.accepted, 0), 0u) << checker << run.out;
        }
    }
}

TEST(Check, RejectsAProofWithOneMoveAlteredCutOrLengthened) {
  for (const char *checker : CHECKERS) {
    SCOPED_TRACE(checker);
    PROOF_FILE proof;
    ASSERT_EQ(run_tool(KORVANI_SOLVE, "--size 2 --proof '" + proof.path + "'").status, 0);
    const std::string good = proof.text();
    const size_t walk = proof.walk();
    ASSERT_LT(walk, good.size());

    // White's answer to a2 becomes a1, a move into Black's capture at b1.
    std::string altered = good;
    altered[walk] = 8;
    proof.rewrite(altered);
    RUN run = check(proof, checker);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.rfind("rejected: ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("after a2 a1"), std::string::npos) << run.out;

    proof.rewrite(good.substr(0, good.size() - 1));
    run = check(proof, checker);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("the proof ends too early"), std::string::npos) << run.out;

    proof.rewrite(good + '\x01');
    run = check(proof, checker);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("the proof goes on after its end"), std::string::npos) << run.out;

    // The checker's memory is made from the count of positions the head says the proof remembers.
    ASSERT_EQ(run_tool(KORVANI_SOLVE, "--size 3 --proof '" + proof.path + "'").status, 0);
    std::string fewer = proof.text();
    const size_t count = fewer.find("\nremembered ") + 12;
    const size_t end = fewer.find('\n', count);
    ASSERT_GT(std::stoi(fewer.substr(count, end - count)), 0) << fewer.substr(0, count);
    fewer.replace(count, end - count, std::to_string(std::stoi(fewer.substr(count, end - count)) - 1));
    proof.rewrite(fewer);
    run = check(proof, checker);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("the proof remembers more positions than its head says"), std::string::npos) << run.out;

    // A false claim: the same walk said to prove a win for the other side.
    proof.rewrite(good);
    std::string claim = good;
    claim.replace(claim.find("winner White"), 12, "winner Black");
    proof.rewrite(claim);
    EXPECT_EQ(check(proof, checker).status, 1);
  }
}

// The proofs of Black's win after each of White's replies to b2 prove it after b2, as its own proof does;
// with one reply's proof left out they prove nothing more.
TEST(Check, ProofsOfEveryReplyProveTheMovesBefore) {
    PROOF_FILE whole;
    ASSERT_EQ(run_tool(KORVANI_SOLVE, "--size 3 --moves b2 --proof '" + whole.path + "'").status, 0);
    const std::string accepted = lines_of(check(whole).out).at(0);
    const std::string bound = accepted.substr(accepted.find(", within")); // the same as its own proof's
    std::vector<PROOF_FILE> parts(11);
    std::vector<std::string> files; // each part's, quoted
    for (const char *moves : {"b2 a3", "b2 b3", "b2 c3", "b2 a2", "b2 c2", "b2 a1", "b2 b1", "b2 c1",
                              "b2 a3 c1 a1", "b2 a3 c1 a2", "b2 a3 c1 b1"}) {
        const PROOF_FILE &part = parts[files.size()];
        ASSERT_EQ(run_tool(KORVANI_SOLVE, std::string("--size 3 --moves '") + moves + "' --proof '" + part.path + "'").status, 0);
        files.push_back(" '" + part.path + "'");
    }
    // Each part's check on its own, its output kept as a log: the logs conclude as the proofs do.
    std::vector<PROOF_FILE> logs(parts.size());
    for (size_t k = 0; k < parts.size(); ++k) logs[k].rewrite(check(parts[k]).out);
    const auto conclusion = [&](std::initializer_list<size_t> chosen) {
        std::string named;
        std::string logged = "--conclude";
        for (const size_t k : chosen) {
            named += files[k];
            logged += " '" + logs[k].path + "'";
        }
        const RUN run = run_tool(KORVANI_CHECK, named);
        const std::string last = lines_of(run.out).back();
        // Parts that leave a reply without its proof conclude nothing: a status of their own.
        EXPECT_EQ(run.status, last.rfind("not concluded", 0) == 0 ? 3 : 0) << run.out << run.err;
        const RUN from_logs = run_tool(KORVANI_CHECK, logged);
        EXPECT_EQ(from_logs.status, run.status) << from_logs.out << from_logs.err;
        EXPECT_EQ(from_logs.out, last + "\n");
        return last;
    };
    // Logs conclude only as the parts of one proof; a log that says of no proof it was accepted is no log.
    PROOF_FILE whole_log;
    whole_log.rewrite(check(whole).out);
    RUN run = run_tool(KORVANI_CHECK, "--conclude '" + whole_log.path + "'" + " '" + logs[0].path + "'");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "not concluded: the logs are not of the replies to the same moves\n");
    whole_log.rewrite("rejected: the proof ends too early after b2\n");
    run = run_tool(KORVANI_CHECK, "--conclude '" + whole_log.path + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("says of no proof that it was accepted"), std::string::npos) << run.err;
    EXPECT_EQ(conclusion({0, 1, 2, 3, 4, 5, 6, 7}), "accepted: Black wins on 3 x 3 after the moves b2" + bound + ", by the 8 proofs above");
    // A position that is its own mirror image needs one reply of each kind; b2 is the image of no reply.
    EXPECT_EQ(conclusion({0, 4}), "accepted: Black wins on 3 x 3 after the moves b2" + bound + ", by the 2 proofs above");
    EXPECT_EQ(conclusion({1, 3, 4, 6}), "not concluded: no proof after the moves b2 a3");
    // b2 a3 c1 is its own image only across the line a3 b2 c1: c2 is the image of b1 there, and of a2
    // only across the other diagonal, which moves the stones.
    EXPECT_EQ(conclusion({8, 9, 10}).rfind("accepted: Black wins on 3 x 3 after the moves b2 a3 c1, within ", 0), 0u);
    EXPECT_EQ(conclusion({8, 9}), "not concluded: no proof after the moves b2 a3 c1 c2");
    // A conclusion's line is a log too, and where the winner is to move, one winning move of its own
    // concludes: b2's conclusion from its parts proves Black's win on the empty board, a ply longer.
    PROOF_FILE above;
    above.rewrite(conclusion({0, 4}) + "\n");
    run = run_tool(KORVANI_CHECK, "--conclude '" + above.path + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "accepted: Black wins on 3 x 3 after the moves (none), within " + std::to_string(std::stoi(bound.substr(9)) + 1) +
                           " plies against any defence, by the 1 proof above\n");
}

// A proof of the earlier format 3, which remembered only the positions needing more than three plies, as
// korvani-solve wrote it for 3 x 3: read by its own rule, and refused by the other.
TEST(Check, ReadsTheEarlierFormatByItsOwnRule) {
    const std::string walk("\x09\x01\x08\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x01\x00\x02\x02\x02\x08"
                           "\x08\x00\x01\x10\x02\x0a", 25);
    PROOF_FILE proof;
    proof.rewrite("korvani proof 3\nsize 3\nmoves\nwinner Black\nremembered 5\nproof\n" + walk);
    RUN run = check(proof);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.rfind("accepted: Black wins on 3 x 3 after the moves (none), within 7 plies", 0), 0u) << run.out;
    proof.rewrite("korvani proof 4\nsize 3\nmoves\nwinner Black\nremembered 5\nproof\n" + walk);
    EXPECT_EQ(check(proof).status, 1);
}

TEST(Check, RefusesWhatIsNoProof) {
    PROOF_FILE proof;
    proof.rewrite("korvani proof 3\nsize 9\nmoves\nwinner White\nremembered 0\nproof\n");
    RUN run = check(proof);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("korvani-check: not a proof", 0), 0u) << run.err;
    proof.rewrite("korvani proof 3\nsize 2\nmoves a2 a2\nwinner White\nremembered 0\nproof\n");
    run = check(proof);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("\"a2\" is not a move of a game going on"), std::string::npos) << run.err;
    // Only as korvani-solve writes it: no word after the size, no letter after a point's name, a count of
    // remembered positions in plain digits; and no proof of the format before 3, whose walk differs.
    for (const char *head : {"korvani proof 3\nsize 2 x 2\nmoves\nwinner White\nremembered 0\nproof\n",
                             "korvani proof 3\nsize 2\nmoves a2x\nwinner White\nremembered 0\nproof\n",
                             "korvani proof 3\nsize 2\nmoves\nwinner White\nremembered -1\nproof\n",
                             "korvani proof 2\nsize 2\nmoves\nwinner White\nproof\n"}) {
        proof.rewrite(head);
        EXPECT_EQ(check(proof).status, 2) << head;
    }
    EXPECT_EQ(run_tool(KORVANI_CHECK, "/nonexistent/proof").status, 2);
    EXPECT_EQ(run_tool(KORVANI_CHECK, "").status, 2);
}

} // namespace
