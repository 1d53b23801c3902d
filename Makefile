# The two everyday commands: `make run` and `make test`. Both install what is missing first.
PRESET ?= default
BUILD_DIR := build/$(PRESET)
SIM_DIR := /tmp/kp70sim

.PHONY: deps configure build run test asan tsan bench clean

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

asan:
	@$(MAKE) --no-print-directory test PRESET=asan

tsan:
	@$(MAKE) --no-print-directory test PRESET=tsan

bench: deps
	@cmake --preset release >/dev/null && cmake --build --preset release
	@bash bench/run.sh build/release

clean:
	rm -rf build
