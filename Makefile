# Set-up and everyday commands. Both `make run` and `make test` install missing Debian packages.
PACKAGES := cmake ninja-build g++ pkg-config qt6-base-dev libqt6svg6 libgl-dev libplist-dev lame sox libsox-fmt-all \
            libtag1-dev cksfv xvfb xauth zlib1g-dev libcanberra-dev libgtest-dev libgmock-dev \
            libdiscid-dev libcdio-dev libcdio-paranoia-dev libebur128-dev clang libclang-rt-14-dev dbus-daemon \
            whipper ffmpeg
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: deps build run test test-sanitize install clean

# $(call ensure_packages,LIST) installs the Debian packages of LIST that are missing.
ensure_packages = missing=$$(for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  if [ "$$(id -u)" = 0 ]; then SUDO=; else SUDO=sudo; fi; \
	  $$SUDO apt-get update && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y $$missing; \
	fi

deps:
	@$(call ensure_packages,$(PACKAGES))

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD)

run: build
	$(BUILD)/vesk

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-sanitize
	ctest --test-dir build-sanitize --output-on-failure -j2

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

clean:
	rm -rf $(BUILD) build-sanitize

-include mk/*.mk
