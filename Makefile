# Thin driver over CMake: `make`, `make run`, `make test`, `make bench`,
# `make install`, `make package`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local
DESTDIR ?=
# CMake's own makefiles are recursive; their directory changes are noise.
MAKEFLAGS += --no-print-directory

.PHONY: all build configure run test bench sanitize tsan fuzz install package clean

all: build

configure:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Only the game, so that the first question comes soon after a fresh clone.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target arithpuzzle
	./$(BUILD)/arithpuzzle

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DARITH_BENCH=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target arith_bench
	./$(BUILD)/arith_bench

install: configure
	@cmake --build $(BUILD) -j $(JOBS) --target arithpuzzle arithsolve
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

package: configure
	@cmake --build $(BUILD) -j $(JOBS) --target arithpuzzle arithsolve
	cd $(BUILD) && cpack -G DEB

sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARITH_SANITIZE=ON >/dev/null
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ctest --output-on-failure -j $(JOBS)

# The search tests, threads included, under ThreadSanitizer.
tsan:
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARITH_TSAN=ON >/dev/null
	cmake --build build-tsan -j $(JOBS) --target arith_unit_tests
	./build-tsan/arith_unit_tests --gtest_filter='FastSearch.ThreadsStopAsOneThreadWould:FastSearch.MatchesTheReferenceOnWorkedExamples:ParallelPass*'

# Each fuzz target runs FUZZ_SECONDS from its kept corpus; what it learns
# stays in build-fuzz/corpus.
FUZZ_SECONDS ?= 30
FUZZ_TARGETS = number_prompt solver_arguments search_differential
fuzz:
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARITH_FUZZ=ON >/dev/null
	cmake --build build-fuzz -j $(JOBS)
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t && \
	  ./build-fuzz/$${t}_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    build-fuzz/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

clean:
	rm -rf $(BUILD) build-sanitize build-tsan build-bench build-fuzz
