# Disc image rip benchmark: make bench-drive [BENCH_DRIVE_ARGS="TRACKS SECONDS [JOBS]"]
BENCH_DRIVE_ARGS ?= 10 30
.PHONY: bench-drive
bench-drive:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target vesk-rip vesk-cdread
	bench/drive/bench-drive.sh $(BUILD) $(BENCH_DRIVE_ARGS)
