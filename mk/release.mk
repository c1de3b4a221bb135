# Release files: the SFV/CRC-32 benchmark (prints figures; needs cksfv and zlib1g-dev).
.PHONY: bench-sfv
bench-sfv: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target bench_sfv
	$(BUILD)/bench/sfv/bench_sfv
