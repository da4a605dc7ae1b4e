# The two commands a developer needs: `make test` and `make run`.
# Both install the Debian packages they need first.

JOBS ?= $(shell nproc)
BUILD := build
CMAKE_CONFIGURE := cmake -G Ninja -Wno-dev

.PHONY: all deps build test test-debug test-asan fuzz bench run format format-check tidy clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/debug/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD)/debug -DCMAKE_BUILD_TYPE=Debug

$(BUILD)/asan/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DTIDYWORD_SANITIZE=ON \
		-DTIDYWORD_BUILD_BENCHMARKS=OFF

$(BUILD)/fuzz/build.ninja: | deps
	CXX=clang++ $(CMAKE_CONFIGURE) -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTIDYWORD_FUZZ=ON

$(BUILD)/release/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release \
		-DTIDYWORD_BUILD_TESTS=OFF

build: $(BUILD)/debug/build.ninja
	cmake --build $(BUILD)/debug -j $(JOBS)

# Every test, in a plain build and in an AddressSanitizer + UndefinedBehaviorSanitizer build,
# and a short run of each fuzz target.
test: format-check test-debug test-asan fuzz

test-debug: build
	ctest --test-dir $(BUILD)/debug --output-on-failure -j $(JOBS)

test-asan: $(BUILD)/asan/build.ninja
	cmake --build $(BUILD)/asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --test-dir $(BUILD)/asan --output-on-failure -j $(JOBS)

# Each fuzz target runs FUZZ_SECONDS from the checked-in seeds plus what earlier runs found.
FUZZ_SECONDS ?= 20
FUZZ_TARGETS := ConfigFuzzer CallbackFuzzer
fuzz: $(BUILD)/fuzz/build.ninja
	cmake --build $(BUILD)/fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@for target in $(FUZZ_TARGETS); do \
		mkdir -p $(BUILD)/fuzz/corpus/$$target; \
		log=$(BUILD)/fuzz/$$target.log; \
		if ! $(BUILD)/fuzz/tests/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) \
			-print_final_stats=1 -dict=tests/fuzz/fuzz.dict \
			$(BUILD)/fuzz/corpus/$$target tests/fuzz/corpus/$$target > $$log 2>&1; then \
			tail -n 60 $$log; exit 1; \
		fi; \
		echo "$$target: $$(grep -E '^stat::number_of_executed_units' $$log) in $(FUZZ_SECONDS) s"; \
	done

bench: $(BUILD)/release/build.ninja
	cmake --build $(BUILD)/release -j $(JOBS)
	$(BUILD)/release/bench/bench_text_diff
	bench/standin-throughput.sh $(BUILD)/release
	bench/textbridge-x11.sh $(BUILD)/release
	bench/app-x11.sh $(BUILD)/release

# Starts Tidyword in the user's graphical session. Without one, it shows what Tidyword looks
# like instead: both windows on a private X server, saved under build/screenshots/.
SCREENSHOTS := $(BUILD)/screenshots
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
		exec $(BUILD)/debug/bin/tidyword; \
	fi; \
	echo "No display here: starting a private X server to take screenshots into $(SCREENSHOTS)/ instead."; \
	xvfb-run -a -s "-screen 0 1280x900x24" $(BUILD)/debug/bin/tidyword --screenshots $(SCREENSHOTS) \
		2>/dev/null || { echo "Tidyword could not take the screenshots." >&2; exit 1; }; \
	ls $(SCREENSHOTS)/*.png

SOURCES = $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.h')

format: | deps
	clang-format -i $(SOURCES)

format-check: | deps
	clang-format --dry-run --Werror $(SOURCES)

tidy: build
	clang-tidy -p $(BUILD)/debug --quiet $(filter %.cpp,$(SOURCES))

clean:
	rm -rf $(BUILD)
