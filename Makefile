# The two commands of the README: `make run` and `make test`. Besides them:
# `make install` (PREFIX, default /usr/local; DESTDIR honoured) and `make deb`
# (the Debian package), both from a Release build of their own.
BUILD_DIR ?= build
RELEASE_DIR ?= build-release
SANITIZE_DIR ?= build-sanitize
JOBS ?= 2
PREFIX ?= /usr/local

.PHONY: run test test-sanitize build deps configure clean release install deb

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

# Every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer
# (in $(SANITIZE_DIR)); any fault they find fails its test. Leaks are not
# looked for: Qt keeps some of its own until the process ends.
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDRO_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 900

# A Release build (-O3, warnings are errors there too), with Debian's
# hardening flags, installed under `prefix`.
define release_build
	@cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(1) \
	  "-DCMAKE_CXX_FLAGS=$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS) $$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)" >/dev/null
	@cmake --build $(RELEASE_DIR) -j $(JOBS)
endef

release: deps
	$(call release_build,$(PREFIX))

install: deps
	$(call release_build,$(PREFIX))
	@DESTDIR=$(DESTDIR) cmake --install $(RELEASE_DIR)

deb: deps
	$(call release_build,/usr)
	@cd $(RELEASE_DIR) && cpack -G DEB >/dev/null
	@ls $(RELEASE_DIR)/vandro_*.deb

clean:
	rm -rf $(BUILD_DIR) $(RELEASE_DIR) $(SANITIZE_DIR)
