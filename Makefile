# Two commands matter: `make run` and `make test`. Both install what is missing first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20

.PHONY: run test deps build sanitize fuzz-smoke fuzz ci bench clean screenshots

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRELVANE_WERROR=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -x $(BUILD)/src/app/relvane ]; then $(BUILD)/src/app/relvane; \
	else $(BUILD)/tools/decode/relvane-decode --help; fi

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
