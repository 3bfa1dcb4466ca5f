# Two commands matter: `make run` and `make test`. Both install what is missing first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20
RELAY_COM ?= 200
# No test may hold a run for ever: one that has not ended after this many seconds fails.
TEST_TIMEOUT ?= 300

.PHONY: run test deps build sanitize fuzz-smoke fuzz walk ci bench clean screenshots

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRELVANE_WERROR=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# The workbench with a simulated relay on COM$(RELAY_COM); the relay ends with the window. Only
# the programs it starts are built (without Qt there is no window, and the decoder says so).
RUN_TARGETS = relvane relvane-relay relvane-decode
run: deps $(BUILD)/CMakeCache.txt
	@if grep -q '^RELVANE_WITH_QT:BOOL=ON' $(BUILD)/CMakeCache.txt; then \
	  cmake --build $(BUILD) -j$(JOBS) --target $(RUN_TARGETS); \
	else cmake --build $(BUILD) -j$(JOBS) --target relvane-decode; fi
	@scripts/run-with-relay.sh $(BUILD) $(RELAY_COM)

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure --timeout $(TEST_TIMEOUT) -j$(JOBS)

# Address and undefined-behaviour sanitizers over the whole suite.
sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRELVANE_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure --timeout $(TEST_TIMEOUT) -j$(JOBS)

# Every libFuzzer target for FUZZ_SECONDS each (CI keeps it short).
fuzz-smoke: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRELVANE_FUZZ=ON -DRELVANE_WITH_QT=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz:
	$(MAKE) fuzz-smoke FUZZ_SECONDS=300
	$(MAKE) walk WALK_SECONDS=300

# The window walked through random commands against the simulated relay, under the sanitizers,
# with a new seed every two minutes until WALK_SECONDS have passed (the seed of a failure is
# printed; RELVANE_WALK_SEED=N repeats it).
WALK_SECONDS ?= 1800
walk: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRELVANE_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS) --target walk_tests
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp RELVANE_WALK_SECONDS=$(WALK_SECONDS) \
	  $(ASAN_BUILD)/tests/e2e/walk_tests --gtest_filter='CWindowWalk.RandomSequencesOfCommands'

# Every benchmark at its default size (a few minutes in all); each prints its figures.
# The window benchmarks run again on X11 (xcb) on a private Xvfb display, where one is installed.
# No benchmark or screenshot sends a frame beyond loopback, whatever its forms hold.
bench screenshots: export RELVANE_LOOPBACK_ONLY := 1
bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] && QT_QPA_PLATFORM=offscreen "$$b"; done; true
	@if command -v Xvfb >/dev/null; then \
	  for b in "bench_idle" "bench_copy_find" "bench_open --no-office" "bench_append --no-naive"; do \
	    QT_QPA_PLATFORM=xcb scripts/run-on-xvfb.sh $(BUILD)/bench/$$b; done; fi; true

screenshots: build
	scripts/screenshots.sh $(BUILD)

ci: test sanitize fuzz-smoke

# The layers without Qt cross-built for Windows (MinGW-w64) and their tests run under Wine, in a
# Wine prefix of the build's own with one Wine server, which is ended afterwards.
WIN_CORE_BUILD ?= build-win-core
.PHONY: windows-core-test
# A test program that Wine loses at start (no output at all, now and then while a new server
# settles) gets one more run there; a real failure fails both runs.
windows-core-test:
	@scripts/install-windows-deps.sh
	cmake -S . -B $(WIN_CORE_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DRELVANE_WITH_QT=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRELVANE_WERROR=ON
	cmake --build $(WIN_CORE_BUILD) -j$(JOBS)
	scripts/wine-prefix.sh $(WIN_CORE_BUILD)/wineprefix
	status=0; ctest --test-dir $(WIN_CORE_BUILD) --output-on-failure --timeout $(TEST_TIMEOUT) -j$(JOBS) --repeat until-pass:2 || status=$$?; \
	  scripts/wine-prefix.sh --stop $(WIN_CORE_BUILD)/wineprefix; exit $$status

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WIN_CORE_BUILD) $(WIN_BUILD)

# Debian package: $(BUILD)/relvane_<version>_<arch>.deb with the programs, desktop entry, icon,
# AppStream data and manual pages. `make install` puts the same files under /usr/local (or
# PREFIX=...; DESTDIR is honoured); `make uninstall` removes what the last install put there.
# The list is kept apart from CMake's install_manifest.txt, which every packaging run rewrites.
.PHONY: package install uninstall
PREFIX ?=
INSTALLED_LIST = $(BUILD)/installed-files.txt

package: build
	cmake --build $(BUILD) --target package

install: build
	cmake --install $(BUILD) --strip $(if $(PREFIX),--prefix $(PREFIX))
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt > $(INSTALLED_LIST)

uninstall:
	@test -f $(INSTALLED_LIST) || { echo "no install recorded in $(INSTALLED_LIST)"; exit 1; }
	xargs -r -d '\n' rm -f -- < $(INSTALLED_LIST)
	sed -n 's|/copyright$$||p' $(INSTALLED_LIST) | xargs -r -d '\n' rmdir --ignore-fail-on-non-empty --
	rm -f $(INSTALLED_LIST)

# Windows, cross-built with MinGW-w64 and tested under Wine. Qt for Windows is built once from
# Debian's qt6-base sources into a cache (scripts/build-qt-mingw.sh: 20 to 50 minutes the first
# time, nothing afterwards). `make windows` makes the five programs, the portable zip and the
# installer in $(WIN_BUILD); `make windows-test` runs the suite under Wine, with the Linux relay
# (built in $(BUILD)) at the far end of the end-to-end tests, then installs and uninstalls the
# installer in a Wine prefix of its own; `make windows-screenshot` saves the main window as drawn
# under Wine in screenshots/.
.PHONY: windows windows-qt windows-build windows-test windows-screenshot
WIN_BUILD ?= build-win
WIN_PROGRAMS = relvane relvane-run relvane-decode relvane-relay relvane-monitor
WIN_QT = $(shell scripts/build-qt-mingw.sh --print-prefix)

windows-qt:
	@scripts/install-windows-deps.sh
	@nice scripts/build-qt-mingw.sh

$(WIN_BUILD)/CMakeCache.txt: | windows-qt
	cmake -S . -B $(WIN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRELVANE_WERROR=ON \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake -DRELVANE_STATIC_RUNTIME=OFF \
	  -DCMAKE_PREFIX_PATH=$(WIN_QT) -DQT_HOST_PATH=/usr \
	  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
	  -DRELVANE_HOST_RELAY=$(CURDIR)/$(BUILD)/tools/relay/relvane-relay

windows-build: windows-qt $(WIN_BUILD)/CMakeCache.txt
	cmake --build $(WIN_BUILD) -j$(JOBS) --target $(WIN_PROGRAMS)

windows: windows-build
	scripts/package-windows.sh $(WIN_BUILD) $(WIN_QT)

windows-test: windows deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target relvane-relay
	cmake --build $(WIN_BUILD) -j$(JOBS)
	scripts/wine-qt-prefix.sh $(WIN_BUILD)/wineprefix $(WIN_QT)
	status=0; ctest --test-dir $(WIN_BUILD) --output-on-failure --timeout $(TEST_TIMEOUT) -j$(JOBS) || status=$$?; \
	  scripts/wine-prefix.sh --stop $(WIN_BUILD)/wineprefix; \
	  scripts/check-windows-installer.sh $(WIN_BUILD)/relvane-*-setup.exe || status=1; exit $$status

windows-screenshot: windows
	scripts/windows-screenshot.sh $(WIN_BUILD) $(WIN_QT)
