# Front door: `make run` starts the player, `make test` runs every test.
# Both first install the Debian packages of tools/packages.txt that are missing.
PRESET ?= default
BUILD := build/$(PRESET)
JOBS ?= 2

.PHONY: deps configure build run test bench asan tsan soak soak-play fuzz clean deb deb-check

deps:
	@tools/install-deps

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	$(BUILD)/src/kalvo2

test: build
	@tools/run-tests $(BUILD)

bench: build
	@bench/run $(BUILD)

asan:
	@$(MAKE) --no-print-directory test PRESET=asan

tsan:
	@$(MAKE) --no-print-directory test PRESET=tsan

soak: build
	@tools/soak $(BUILD)

# Several minutes of continuous play; not part of `make test`.
soak-play: build
	@tools/soak-play $(BUILD)

fuzz:
	@tools/fuzz

# The Debian package, written into the build folder (kalvo2_<version>_<arch>.deb).
deb: build
	@cd $(BUILD) && cpack -G DEB

# Installs that package into a fresh Debian 12 (debootstrap) and starts it.
deb-check: deb
	@tools/check-fresh-install $(BUILD)

clean:
	rm -rf build
