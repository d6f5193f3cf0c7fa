# One-step commands. Each installs what is missing (Debian packages, as root) first.
#   make demo    build the reference host and the plug-in, and render the built-in
#                default scene with the plug-in to a PNG
#   make test    build everything and run every test program
#   make build   build the plug-in, host services and tests into build/

BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup configure build test demo check-display clean

all: build

setup:
	@scripts/setup

configure: setup
	@cmake -S . -B $(BUILD_DIR) -G Ninja >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: check-display build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The plug-in's main job: the reference host composites the default scene through it.
# Only what the demo runs is built: veltra-host and what it loads (not the tests).
demo: check-display configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target veltra-host
	@mkdir -p $(BUILD_DIR)/demo
	@VELTRA_DIST=$(CURDIR)/$(BUILD_DIR)/dist scripts/wine-run $(BUILD_DIR)/dist/veltra-host.exe render -y -q \
		-o $(BUILD_DIR)/demo/default-scene.png >/dev/null
	@echo "$(CURDIR)/$(BUILD_DIR)/demo/default-scene.png"

# A VELTRA_DISPLAY that is not a display number fails here, before any build.
check-display:
	@scripts/wine-run --check-display

clean:
	@rm -rf $(BUILD_DIR)
