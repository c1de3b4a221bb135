# Disc lookup benchmark: make bench-lookup prints the time of a lookup of a 4 KB entry and of a
# 1 MB entry with 15,000 track titles over loopback.
.PHONY: bench-lookup
bench-lookup:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target bench_lookup
	$(BUILD)/bench/lookup/bench_lookup
