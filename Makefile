# Front door: `make run` starts the player, `make test` runs every test.
# Each first installs the Debian packages of tools/packages.txt that are
# missing, from the parts it needs: `make deb` only the build part, `make run`
# build and run, every other target all of them.
PRESET ?= default
BUILD := build/$(PRESET)
JOBS ?= 2
PARTS ?= build run test

.PHONY: deps configure build run test bench asan tsan soak soak-play fuzz clean deb deb-check

deps:
	@tools/install-deps $(PARTS)

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

run: PARTS = build run
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

# The Debian package, built in build/deb with Debian's build flags and
# without the tests: build/deb/kalvo2_<version>_<arch>.deb and the debug
# information beside it, kalvo2-dbgsym_<version>_<arch>.ddeb.
deb: PARTS = build
deb: deps
	@cmake --preset deb >/dev/null
	@cmake --build --preset deb -j $(JOBS)
	@cd build/deb && cpack -G DEB

# Installs that package into a fresh Debian 12 (debootstrap) and starts it.
deb-check: deb
	@tools/check-fresh-install build/deb

clean:
	rm -rf build
