# Two commands matter: `make run` and `make test`. Both install what is missing first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20
RELAY_COM ?= 200

.PHONY: run test deps build sanitize fuzz-smoke fuzz ci bench clean screenshots

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRELVANE_WERROR=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# The workbench with a simulated relay on COM$(RELAY_COM); the relay ends with the window.
run: build
	@scripts/run-with-relay.sh $(BUILD) $(RELAY_COM)

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# Address and undefined-behaviour sanitizers over the whole suite.
sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRELVANE_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

# Every libFuzzer target for FUZZ_SECONDS each (CI keeps it short).
fuzz-smoke: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRELVANE_FUZZ=ON -DRELVANE_WITH_QT=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz:
	$(MAKE) fuzz-smoke FUZZ_SECONDS=300

# Every benchmark at its default size (a few minutes in all); each prints its figures.
bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] && QT_QPA_PLATFORM=offscreen "$$b"; done; true

screenshots: build
	scripts/screenshots.sh $(BUILD)

ci: test sanitize fuzz-smoke

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

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
