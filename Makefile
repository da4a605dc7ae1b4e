# The two commands a developer needs: `make test` and (once the application exists) `make run`.
# Both install the Debian packages they need first.

JOBS ?= $(shell nproc)
BUILD := build
CMAKE_CONFIGURE := cmake -G Ninja -Wno-dev

.PHONY: all deps build test test-debug test-asan bench run format format-check tidy clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/debug/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD)/debug -DCMAKE_BUILD_TYPE=Debug

$(BUILD)/asan/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DTIDYWORD_SANITIZE=ON \
		-DTIDYWORD_BUILD_BENCHMARKS=OFF

$(BUILD)/release/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release \
		-DTIDYWORD_BUILD_TESTS=OFF

build: $(BUILD)/debug/build.ninja
	cmake --build $(BUILD)/debug -j $(JOBS)

# Every test, in a plain build and in an AddressSanitizer + UndefinedBehaviorSanitizer build.
test: format-check test-debug test-asan

test-debug: build
	ctest --test-dir $(BUILD)/debug --output-on-failure -j $(JOBS)

test-asan: $(BUILD)/asan/build.ninja
	cmake --build $(BUILD)/asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --test-dir $(BUILD)/asan --output-on-failure -j $(JOBS)

bench: $(BUILD)/release/build.ninja
	cmake --build $(BUILD)/release -j $(JOBS)
	$(BUILD)/release/bench/bench_text_diff

run:
	@echo "Tidyword has no application shell yet: 'make run' starts it once the shell is built." >&2
	@exit 2

SOURCES = $(shell git ls-files '*.cpp' '*.h')

format: | deps
	clang-format -i $(SOURCES)

format-check: | deps
	clang-format --dry-run --Werror $(SOURCES)

tidy: build
	clang-tidy -p $(BUILD)/debug --quiet $(filter %.cpp,$(SOURCES))

clean:
	rm -rf $(BUILD)
