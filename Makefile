# Thin driver over CMake: `make`, `make run`, `make test`, `make bench`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test bench sanitize fuzz clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/arithpuzzle

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DARITH_BENCH=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target arith_bench
	./$(BUILD)/arith_bench

sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARITH_SANITIZE=ON >/dev/null
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ctest --output-on-failure -j $(JOBS)

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
	rm -rf $(BUILD) build-sanitize build-bench build-fuzz
