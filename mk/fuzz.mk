# make fuzz: builds every fuzz/*_fuzz.cpp with clang and libFuzzer (ASan+UBSan) in $(FUZZ_BUILD),
# replays the saved regression inputs, then fuzzes each target for FUZZ_SECONDS.
# Seeds live in fuzz/corpus/<target>/ (committed); what the fuzzer learns goes to
# $(FUZZ_BUILD)/corpus/<target>/, crashes to $(FUZZ_BUILD)/crashes/. A crash, once fixed, goes to
# fuzz/regressions/<target>/ (and gets a unit test), so that every later run replays it; the
# ordinary tests replay the regressions and seeds too (<target>_replay, built with any compiler).
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = $(patsubst fuzz/%.cpp,%,$(wildcard fuzz/*_fuzz.cpp))

.PHONY: fuzz fuzz-build fuzz-regressions

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DVESK_FUZZ=ON -DVESK_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) --target vesk_fuzz

fuzz-regressions: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  if [ -d fuzz/regressions/$$t ] && [ -n "$$(ls -A fuzz/regressions/$$t)" ]; then \
	    echo "== $$t: replaying fuzz/regressions/$$t"; \
	    $(FUZZ_BUILD)/fuzz/$$t fuzz/regressions/$$t/*; \
	  fi; \
	done

fuzz: fuzz-regressions
	@set -e; mkdir -p $(FUZZ_BUILD)/crashes; for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t; \
	  echo "== $$t: fuzzing for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_BUILD)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	      -artifact_prefix=$(FUZZ_BUILD)/crashes/$$t- $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t \
	    || { echo "fuzz: $$t failed; the input is in $(FUZZ_BUILD)/crashes/"; exit 1; }; \
	done
