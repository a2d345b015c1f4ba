# The six proofs of 6 x 6, one for each class of first moves, written by korvani-solve and checked by
# korvani-check, as jobs of make:
#
#   make -j2 -f scripts/proofs-6x6.mk SOLVE=build/run/tools/korvani-solve CHECK=build/run/tools/korvani-check
#
# The corner a6, the edge points b6 and c6 are one proof each. c4 and c5 are proved in parts, one for
# each of White's replies (c4's position is its own image across the diagonal from a6 to f1, so 21 of
# its 35 replies stand for the rest); b5 after White's answer c4, one part for each of Black's replies up
# to the same mirror. Every part is a job: its proof, then its check, each with its log beside it in OUT.
# A job whose file is there is not done again, so a run cut short goes on where it stopped; a proof or a
# log is moved into place only once it is whole (and a check's log only when the check accepted), so a
# cut leaves nothing that looks done. The parts of one class are concluded from their checks' accepted
# lines (korvani-check --conclude) without walking them again.
#
#   make -f scripts/proofs-6x6.mk list      the jobs, one a line (the Slurm array's order)
#   make -f scripts/proofs-6x6.mk figures   each job's positions, bytes, CPU time and peak memory
#
# Each proof holds a table of TABLE MB (2 GB) and the walk's set of remembered positions beside it, which
# grows with the part: some 0.6 GB for c6; b6 and b5 c4 b4, the largest, peaked at 5.1 GB each (measured),
# so two jobs side by side need about 11 GB.

SOLVE ?= build/run/tools/korvani-solve
CHECK ?= build/run/tools/korvani-check
OUT ?= proofs-6x6
TABLE ?= 2048

# The board, and its classes of first moves in the order of their jobs: each proved whole, or, where
# REPLIES.class names them, in parts, one for each reply to the class's moves (a class's name is its moves
# joined by "-", a part's the class's and the reply's). The large parts first, so that make starts them
# first and the small ones fill the gaps at the end. Any of them may be given on the command line for
# another board (the runner's test runs 5 x 5's c3 in parts there); the environment does not change them.
SIZE := 6
CLASSES := b6 b5-c4 c5 c6 c4 a6
REPLIES.c4 := c2 d2 e2 b2 b3 d3 c3 b5 b4 a1 b1 c1 d1 e1 f1 a2 f2 a3 a4 a5 a6
REPLIES.c5 := e5 c2 b2 d2 e2 b3 c3 d3 e3 b4 d4 e4 c4 a1 b1 c1 d1 e1 f1 a2 f2 a3 f3 a4 f4 a5 b5 d5 f5 a6 b6 c6 d6 e6 f6
REPLIES.b5-c4 := b4 c2 d2 b2 b3 c3 d3 e2 a1 b1 c1 d1 e1 f1 a2 a3 a4 a5 a6
parts = $(if $(REPLIES.$(1)),$(addprefix $(1)-,$(REPLIES.$(1))),$(1))
PARTS := $(foreach class,$(CLASSES),$(call parts,$(class)))

.PHONY: all list figures
.DELETE_ON_ERROR:
# Every proof and log is kept, though make reaches most of them through its rules' chains.
.SECONDARY:
all: $(addprefix $(OUT)/,$(addsuffix .concluded,$(CLASSES)))

list:
	@printf '%s\n' $(PARTS)

$(OUT):
	mkdir -p $@

# The proof of one part: korvani-solve's own figures (nodes, CPU time, positions, bytes, peak memory) in
# its log.
$(OUT)/%.proof: | $(OUT)
	$(SOLVE) --size $(SIZE) --moves "$(subst -, ,$*)" --table $(TABLE) --proof $@.part > $(OUT)/$*.solve.log.part 2>&1
	mv $(OUT)/$*.solve.log.part $(OUT)/$*.solve.log
	mv $@.part $@

# Its check: korvani-check's verdict, positions, CPU time and peak memory.
$(OUT)/%.checked: $(OUT)/%.proof
	$(CHECK) $< > $@.part 2>&1
	mv $@.part $@

# A class proved in one proof is concluded by its check; one in parts by the checks of all its parts.
$(OUT)/%.concluded: $(OUT)/%.checked
	cp $< $@
.SECONDEXPANSION:
$(foreach class,$(CLASSES),$(if $(REPLIES.$(class)),$(OUT)/$(class).concluded)): $(OUT)/%.concluded: \
    $$(addprefix $(OUT)/,$$(addsuffix .checked,$$(call parts,$$*)))
	$(CHECK) --conclude $^ > $@.part 2>&1
	mv $@.part $@

# The figures of every job done so far, from the logs: the proof's positions and bytes, the CPU time of
# the search and of the walk, the solver's peak memory; the check's CPU time and peak memory.
FIGURES := { split($$0, f, ", "); for (k in f) { n = f[k]; gsub(/[^0-9.]/, "", n); number[k] = n } }
figures:
	@printf '%-10s %12s %12s %9s %9s %9s %9s %9s\n' part positions bytes search_s walk_s solve_MB check_s check_MB
	@for part in $(PARTS); do \
	  [ -f $(OUT)/$$part.solve.log ] || continue; \
	  awk -v part=$$part 'FNR == 1 { file++ } $(FIGURES) \
	    file == 1 && /^time:/ { sub(/.*CPU /, ""); search = $$1 } \
	    file == 1 && /^proof:/ { positions = number[2]; bytes = number[3]; sub(/.*CPU /, ""); walk = $$1 } \
	    file == 1 && /^peak memory:/ { solve_mb = $$3 } \
	    file == 2 && /^positions:/ { check_s = number[4]; check_mb = number[5] } \
	    END { printf "%-10s %12s %12s %9s %9s %9s %9s %9s\n", part, positions, bytes, search, walk, solve_mb, \
	          check_s == "" ? "-" : check_s, check_mb == "" ? "-" : check_mb }' \
	    $(OUT)/$$part.solve.log $$([ -f $(OUT)/$$part.checked ] && echo $(OUT)/$$part.checked); \
	done
