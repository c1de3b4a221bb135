# Cover art and ReplayGain benchmark: make bench-metadata [BENCH_METADATA_ARGS="TRACKS SECONDS RUNS"]
BENCH_METADATA_ARGS ?= 10 30 5
.PHONY: bench-metadata
bench-metadata:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target vesk-rip vesk-web-server vesk-musicbrainz-server
	bench/metadata/bench-metadata.sh $(BUILD) $(BENCH_METADATA_ARGS)
