# The two everyday commands: `make run` and `make test`. Both install what is missing first.
# `make package` builds the Debian package; `make package-test` installs and tries it (root).
PRESET ?= default
BUILD_DIR := build/$(PRESET)
SIM_DIR := /tmp/kp70sim
# Seconds each libFuzzer target runs in `make fuzz`.
FUZZ_SECONDS ?= 30

.PHONY: deps configure build run test hw-test asan tsan fuzz reliability format-check bench package package-test windows windows-test clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

# Starts the virtual printer (serial side at $(SIM_DIR)/ttyKP70, TCP on 127.0.0.1:6001),
# then the tool; the virtual printer stops when the tool ends.
run: build
	@bash scripts/run-with-sim.sh $(BUILD_DIR)

test: build
	@ctest --preset $(PRESET)

# Every port kind through the real Linux drivers: a QEMU machine with Debian's kernel, USB
# gadgets, a USB-serial adapter, a 16550 and a parallel port, each answered by kp70sim
# (tests/hardware/run-vm.sh, the ctest label "hardware"). One report line per path.
hw-test: build
	@ctest --preset hardware

# Every test five times over while two busy loops load both cores (scripts/stress.sh).
stress: build
	@bash scripts/stress.sh $(PRESET)

asan:
	@$(MAKE) --no-print-directory test PRESET=asan

tsan:
	@$(MAKE) --no-print-directory test PRESET=tsan

# Builds the libFuzzer targets (clang, warnings as errors) and runs each for FUZZ_SECONDS on
# its seeds; one line per target. Fails when a target finds something.
fuzz: deps
	@cmake --preset fuzz >/dev/null && cmake --build --preset fuzz
	@bash scripts/run-fuzz.sh $(FUZZ_SECONDS) build/fuzz

# The reliability figures in one table (scripts/reliability.sh): fuzzing (FUZZ_SECONDS each,
# 5 unless given), the fault matrix, kill points survived, the hostile network, leaks found.
# Fails when any part fails.
reliability: build
	@cmake --preset fuzz >/dev/null && cmake --build --preset fuzz
	@FUZZ_SECONDS=$(if $(filter command line environment,$(origin FUZZ_SECONDS)),$(FUZZ_SECONDS),5) \
		bash scripts/reliability.sh $(BUILD_DIR) build/fuzz

# Every tracked *.cpp and *.h formatted as .clang-format says.
format-check: deps
	@bash scripts/check-format.sh

bench: deps
	@cmake --preset release >/dev/null && cmake --build --preset release
	@bash bench/run.sh build/release

# build/package/kp70tool_<version>_amd64.deb: a release build without tests or benchmarks.
package: deps
	@cmake --preset package >/dev/null && cmake --build --preset package
	@rm -f build/package/kp70tool_*.deb
	@cd build/package && cpack -G DEB
	@ls build/package/kp70tool_*_amd64.deb

# Builds the package, checks it with lintian, installs it with apt-get, tries the three
# programs and removes it again (needs root: it really installs).
package-test: package
	@bash scripts/package-test.sh build/package

# build/windows/kp70ctl.exe (64-bit Windows, static, cross-built with mingw-w64) and
# build/windows/kp70ctl-<version>-windows-x64.zip; core's and the Win32 platform's unit tests
# are built too and run under Wine (ctest --preset windows).
windows: deps
	@cmake --preset windows >/dev/null && cmake --build --preset windows
	@ctest --preset windows
	@ls build/windows/kp70ctl.exe build/windows/kp70ctl-*-windows-x64.zip

# kp70ctl.exe under Wine against the Linux kp70sim, over TCP and over a COM port mapped to
# the virtual printer's pseudo-terminal, each operation compared with the Linux kp70ctl's
# outcome and the printer's state (tests/windows/windows-e2e.sh).
windows-test: windows
	@cmake --preset default >/dev/null && cmake --build --preset default --target kp70ctl kp70sim
	@bash tests/windows/windows-e2e.sh build/windows build/default

clean:
	rm -rf build
