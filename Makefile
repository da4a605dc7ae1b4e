# The two commands a developer needs: `make test` and `make run`.
# Both install the Debian packages they need first.

JOBS ?= $(shell nproc)
BUILD := build
CMAKE_CONFIGURE := cmake -G Ninja -Wno-dev

.PHONY: all deps build test test-debug test-asan fuzz bench run format format-check tidy clean

all: build

deps:
	@scripts/install-deps.sh

# The debug and sanitizer builds are the ones `make run` and its tests use: they accept the
# stand-in on loopback as their deployment. No other build does, and none of them installs.
LOCAL_TEST_SERVICE := -DTIDYWORD_LOCAL_TEST_SERVICE=ON

$(BUILD)/debug/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD)/debug -DCMAKE_BUILD_TYPE=Debug $(LOCAL_TEST_SERVICE)

$(BUILD)/asan/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DTIDYWORD_SANITIZE=ON \
		-DTIDYWORD_BUILD_BENCHMARKS=OFF $(LOCAL_TEST_SERVICE)

# A tree configured before the option existed gets it, once.
define ensure-local-test-service
	@grep -q '^TIDYWORD_LOCAL_TEST_SERVICE:BOOL=ON' $(1)/CMakeCache.txt || \
		cmake $(LOCAL_TEST_SERVICE) $(1) >/dev/null
endef

$(BUILD)/fuzz/build.ninja: | deps
	CXX=clang++ $(CMAKE_CONFIGURE) -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTIDYWORD_FUZZ=ON

$(BUILD)/release/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release \
		-DTIDYWORD_BUILD_TESTS=OFF

build: $(BUILD)/debug/build.ninja
	$(call ensure-local-test-service,$(BUILD)/debug)
	cmake --build $(BUILD)/debug -j $(JOBS)

# Every test, in a plain build and in an AddressSanitizer + UndefinedBehaviorSanitizer build,
# the project's clang-tidy checks, and a short run of each fuzz target.
test: format-check test-debug tidy test-asan fuzz

test-debug: build
	ctest --test-dir $(BUILD)/debug --output-on-failure -j $(JOBS)

test-asan: $(BUILD)/asan/build.ninja
	$(call ensure-local-test-service,$(BUILD)/asan)
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
	bench/textbridge-wayland.sh $(BUILD)/release
	bench/atspi-deadline.sh $(BUILD)/release
	bench/app-x11.sh $(BUILD)/release

# Starts Tidyword in the user's graphical session, on the local test service: the stand-in,
# started beside it and stopped with it (scripts/run-local.py). Without a display, it shows
# instead what Tidyword looks like and does, on a private X server: both windows, then the
# whole job against mousepad, in pictures under build/screenshots/.
SCREENSHOTS := $(BUILD)/screenshots
RUN_LOCAL := scripts/run-local.py $(BUILD)/debug/bin/tidyword \
	$(BUILD)/debug/tools/standin/tidyword-standin
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
		exec $(RUN_LOCAL); \
	fi; \
	echo "No display here: starting a private X server to take screenshots into $(SCREENSHOTS)/ instead."; \
	xvfb-run -a -s "-screen 0 1280x900x24" $(BUILD)/debug/bin/tidyword --screenshots $(SCREENSHOTS) \
		2>/dev/null || { echo "Tidyword could not take the screenshots." >&2; exit 1; }; \
	ls $(SCREENSHOTS)/*.png; \
	echo "And the job itself, on a private desktop with mousepad and the local test service:"; \
	log=$(SCREENSHOTS)/job.log; \
	if TIDYWORD_SCREENSHOTS=$(abspath $(SCREENSHOTS)) QT_QPA_PLATFORM=xcb \
		tests/integration/run-on-private-bus.sh --keyring --tray -- \
		$(BUILD)/debug/tests/launcher/launcher_tidyword --gtest_brief=1 > $$log 2>&1; then \
		grep -E '^(Started|Signed|Selected|Replaced|Quit)' $$log; \
	else \
		tail -n 40 $$log >&2; echo "Tidyword could not show the job." >&2; exit 1; \
	fi

SOURCES = $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.h')

format: | deps
	clang-format -i $(SOURCES)

format-check: | deps
	clang-format --dry-run --Werror $(SOURCES)

# Every source file, a few at a time on each core. Headers generated into the build folder
# (Wayland protocols, moc output) are not ours to mend.
tidy: build
	@printf '%s\n' $(filter %.cpp,$(SOURCES)) | xargs -P $(JOBS) -n 8 \
		clang-tidy -p $(BUILD)/debug --quiet --header-filter='^$(CURDIR)/(src|tests|bench)/'

clean:
	rm -rf $(BUILD)
