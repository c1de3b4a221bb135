# Rip session benchmark: make bench-rip [BENCH_RIP_ARGS="TRACKS SECONDS ROUNDS [JOBS]"]
BENCH_RIP_ARGS ?= 8 30 3
.PHONY: bench-rip
bench-rip:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target vesk-rip
	bench/rip/bench-rip.sh $(BUILD)/vesk-rip $(BENCH_RIP_ARGS)
