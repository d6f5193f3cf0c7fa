# One-step commands. Each installs what is missing (Debian packages, as root) first.
#   make test    build everything and run every test program
#   make build   build the plug-in, host services and tests into build/

BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup configure build test clean

all: build

setup:
	@scripts/setup

configure: setup
	@cmake -S . -B $(BUILD_DIR) -G Ninja >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

clean:
	@rm -rf $(BUILD_DIR)
