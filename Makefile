# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= 2

RELEASE_DIR ?= build-release

.PHONY: run test build deps configure clean release

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)

test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# A Release build (-O3, warnings are errors there too) in its own folder.
release: deps
	@cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE_DIR) -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(RELEASE_DIR)
