# make demo  - install what is missing, build, open the demo form (or write demo.png without a display)
# make test  - install what is missing, build, run every test; then again under the sanitizers;
#              both runs beside a throwaway PostgreSQL server (tests/postgres/with-postgres.sh)
# make bench - Release build, run every benchmark
# make sanitize-test - the suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer
# make format - apply .clang-format to every tracked source (make test fails on an unformatted one)
# make fuzz  - clang build of the libFuzzer targets; make fuzz-run FUZZ_SECONDS=600 runs each
BUILD       ?= build
BENCH_BUILD ?= build-release
SAN_BUILD   ?= build-asan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS        ?= 2
SUDO        := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PACKAGES    := $(shell grep -v '^[[:space:]]*\#' deps/debian.txt)
# Runs a command beside a throwaway PostgreSQL server (TESSERA_PG_URL); one already given is used.
WITH_PG     := $(if $(TESSERA_PG_URL),,tests/postgres/with-postgres.sh)
TEST_ENV    := QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/tessera-runtime-$$(id -u)

.PHONY: all deps configure build demo test format format-check unit-test sanitize-test bench fuzz fuzz-run clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

demo: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	    $(BUILD)/app/tessera-demo; \
	else \
	    mkdir -p /tmp/tessera-runtime-$$(id -u); \
	    $(TEST_ENV) $(BUILD)/app/tessera-demo --screenshot demo.png && echo "No display: wrote demo.png"; \
	fi

test: format-check unit-test sanitize-test

# Every tracked source must match .clang-format; run `make format` to apply it.
format-check: deps
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

format: deps
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i

unit-test: build
	@mkdir -p /tmp/tessera-runtime-$$(id -u) && chmod 700 /tmp/tessera-runtime-$$(id -u)
	$(WITH_PG) env $(TEST_ENV) ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target benchmarks
	@mkdir -p /tmp/tessera-runtime-$$(id -u) && chmod 700 /tmp/tessera-runtime-$$(id -u)
	@$(WITH_PG) env $(TEST_ENV) sh -c 'for b in $(BENCH_BUILD)/bench/*_bench; do echo "== $$b"; $$b || exit 1; done'

# Any sanitizer report fails the run: halt on the first one, leaks included.
SAN_ENV := ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

sanitize-test: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSERA_SANITIZE=ON \
	    -DTESSERA_BUILD_BENCH=OFF
	cmake --build $(SAN_BUILD) -j$(JOBS)
	@mkdir -p /tmp/tessera-runtime-$$(id -u) && chmod 700 /tmp/tessera-runtime-$$(id -u)
	$(WITH_PG) env $(TEST_ENV) $(SAN_ENV) ctest --test-dir $(SAN_BUILD) --output-on-failure -j$(JOBS)

fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DTESSERA_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers

# Runs every fuzzer for FUZZ_SECONDS on a scratch copy of its seed corpus.
fuzz-run: fuzz
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	    n=$$(basename $$f); n=$${n#fuzz_}; \
	    mkdir -p fuzz/corpus-work/$$n && cp -n fuzz/corpus/$$n/* fuzz/corpus-work/$$n/ 2>/dev/null; \
	    echo "== $$f"; \
	    QT_QPA_PLATFORM=offscreen $(SAN_ENV) $$f -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=fuzz/corpus-work/ \
	        fuzz/corpus-work/$$n || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(BENCH_BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
