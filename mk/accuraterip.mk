# AccurateRip check benchmark: make bench-accuraterip [BENCH_AR_ARGS="TRACKS SECONDS RUNS"]
BENCH_AR_ARGS ?= 10 30 5
.PHONY: bench-accuraterip
bench-accuraterip:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target vesk-rip vesk-web-server
	bench/accuraterip/bench-accuraterip.sh $(BUILD) $(BENCH_AR_ARGS)
