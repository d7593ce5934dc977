# make demo  - install what is missing, build, open the demo form (or write demo.png without a display)
# make test  - install what is missing, build, run every test
# make bench - Release build, run every benchmark
BUILD       ?= build
BENCH_BUILD ?= build-release
JOBS        ?= 2
SUDO        := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PACKAGES    := $(shell grep -v '^[[:space:]]*\#' deps/debian.txt)
TEST_ENV    := QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/tessera-runtime-$$(id -u)

.PHONY: all deps configure build demo test bench clean

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

test: build
	@mkdir -p /tmp/tessera-runtime-$$(id -u) && chmod 700 /tmp/tessera-runtime-$$(id -u)
	cd $(BUILD) && $(TEST_ENV) ctest --output-on-failure -j$(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target benchmarks
	@mkdir -p /tmp/tessera-runtime-$$(id -u) && chmod 700 /tmp/tessera-runtime-$$(id -u)
	@for b in $(BENCH_BUILD)/bench/*_bench; do echo "== $$b"; $(TEST_ENV) $$b || exit 1; done

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)
