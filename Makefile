# Set-up, build, run and test. `make run` and `make test` do everything from a fresh clone.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
DB ?= $(BUILD)/gsk.db

.PHONY: all deps configure build run test test-asan bench clean format format-check layers-check tidy package

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@test -f $(DB) || $(BUILD)/vorn --init-db $(DB)
	@$(BUILD)/vorn

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# The tests once more, built with AddressSanitizer and UndefinedBehaviorSanitizer
# in a folder of their own: a memory fault, undefined behaviour or a leak of
# ours fails the test that caused it.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON \
		-DVORN_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done; true

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

layers-check:
	@scripts/check-layers.sh

# The Debian package in $(BUILD)/, then the test that installs it in a
# temporary root and starts it there.
package: build
	@rm -f $(BUILD)/vorn_*.deb
	@cd $(BUILD) && cpack -G DEB >/dev/null
	@tests/package/install-test.sh $(BUILD)/vorn_*.deb

tidy: build
	@scripts/tidy.sh $(BUILD) $(JOBS)

clean:
	@rm -rf $(BUILD)
